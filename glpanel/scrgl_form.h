// The GL panel's hold on its form (its top-level window): the form carries
// the property "ScrGLSubclass" naming the panel that holds it, and
// "ScrGLOldWndProc" naming the event filter that hands the form's
// activation, moves, resizes, deferred deletion and the end of its native
// window to that panel.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace dozu {

class TSglPanel;

class TSglFormFilter : public QObject {
    Q_OBJECT
public:
    explicit TSglFormFilter(QWidget* form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Dispatch(TSglPanel* panel, QEvent* event);
    QPointer<QWidget> form_;
};

// Makes the panel the form's holder. False when another panel holds it.
bool sglHoldForm(QWidget* form, TSglPanel* panel);
// Lets go of the form if the panel holds it.
void sglReleaseForm(QWidget* form, TSglPanel* panel);
// The panel that holds the form, or null.
TSglPanel* sglFormHolder(const QWidget* form);

}  // namespace dozu
