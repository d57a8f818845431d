// A splitter whose handles can be seen: a band a little darker than the
// window with a row of grip dots, lit while the mouse is over it.
#pragma once

#include <QSplitter>

namespace dozu {

class VisibleSplitter : public QSplitter {
    Q_OBJECT

public:
    static constexpr int kHandleWidth = 6;

    explicit VisibleSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};

}  // namespace dozu
