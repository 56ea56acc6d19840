#pragma once

// Answers modal windows from inside their own event loops.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zr70::testing {

/// While it lives, hands every modal window that comes up to `answer`, which
/// must close it, and counts them. A modal window that nobody expected is
/// counted and closed all the same, so a fault fails the test instead of
/// hanging it.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QWidget&)> answer = {}) : answer_(std::move(answer)) {
        timer_ = new QTimer(qApp);
        QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == answered_) {
                return;
            }
            answered_ = modal;
            ++count_;
            if (answer_) {
                answer_(*modal);
            }
            if (answered_ && answered_->isVisible()) {
                answered_->close();
            }
        });
        timer_->start(10);
    }
    ~ModalWatch() { delete timer_; }
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

    int count() const { return count_; }

private:
    std::function<void(QWidget&)> answer_;
    QTimer* timer_;
    QPointer<QWidget> answered_;
    int count_ = 0;
};

} // namespace zr70::testing
