#pragma once

#include <QObject>
#include <QTimer>

namespace brivox {

// Text carets stop blinking once the user has left the keyboard and mouse alone for a while, as
// the desktop's own carets do: a blinking caret wakes the program twice a second, for ever, on
// a bench where it may stay open for days. Any key or click makes them blink again.
class CCaretBlink : public QObject {
public:
    static constexpr int kTimeoutMs = 10000;

    // Watches the whole application's input from now on; carets stop after timeoutMs.
    explicit CCaretBlink(int timeoutMs = kTimeoutMs);
    ~CCaretBlink() override;

    bool Blinking() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetBlinking(bool on);

    const int m_flashMs; // the desktop's flash time, restored on input
    QTimer m_idle;
};

} // namespace brivox
