// Makes a program's share link on a thread of its own: the link of a large
// program takes seconds to compress, and the window goes on meanwhile. A
// new request stops the one before, whose result is never told.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry/stop_flag.h"
#include "program/command_table.h"

namespace dozu {

class ShareLinkMaker : public QObject {
    Q_OBJECT

public:
    explicit ShareLinkMaker(QObject* parent = nullptr);
    // Stops the link being made and waits for its thread.
    ~ShareLinkMaker() override;

    // Starts making the link of this program at this address.
    void start(std::string base, CommandTable table, std::vector<uint8_t> steps);
    // From start until made was emitted.
    bool busy() const { return busy_; }

signals:
    // On the window's thread: the link, or an empty one and why there is
    // none.
    void made(const QString& link, const QString& problem);

private:
    void stop();

    std::unique_ptr<StopFlag> stop_;
    std::thread thread_;
    int request_ = 0;
    bool busy_ = false;
};

}  // namespace dozu
