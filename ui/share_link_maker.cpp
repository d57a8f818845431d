#include "ui/share_link_maker.h"

#include <exception>
#include <new>
#include <optional>

#include "program/share_link.h"

namespace dozu {

ShareLinkMaker::ShareLinkMaker(QObject* parent) : QObject(parent) {}

ShareLinkMaker::~ShareLinkMaker() { stop(); }

void ShareLinkMaker::stop() {
    if (!thread_.joinable()) return;
    stop_->request(StopReason::cancel);
    thread_.join();
}

void ShareLinkMaker::start(std::string base, CommandTable table, std::vector<uint8_t> steps) {
    stop();
    stop_ = std::make_unique<StopFlag>();
    busy_ = true;
    const int request = ++request_;
    const StopFlag* flag = stop_.get();
    thread_ = std::thread(
        [this, request, flag, base = std::move(base), table = std::move(table), steps = std::move(steps)] {
            QString link, problem;
            try {
                const std::optional<std::string> made_link = share_link_within_limit(base, table, steps, flag);
                if (made_link)
                    link = QString::fromStdString(*made_link);
                else
                    problem = kShareLinkTooLong;
            } catch (const Stopped&) {
                return;
            } catch (const std::bad_alloc&) {
                problem = "out of memory";
            } catch (const std::exception& e) {
                problem = QString::fromLocal8Bit(e.what());
            }
            QMetaObject::invokeMethod(
                this,
                [this, request, link, problem] {
                    // A later request's result is the one that counts.
                    if (request != request_) return;
                    busy_ = false;
                    emit made(link, problem);
                },
                Qt::QueuedConnection);
        });
}

}  // namespace dozu
