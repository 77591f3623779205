#include "shell/qt/qt_loop.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::platform {

struct TickTimer::Impl {
    std::function<void()> tick;
    int maxDepth = 8;
    int depth = 0;
    int skipped = 0;
    int intervalMs = 1000;
    QTimer timer;

    void fire() {
        // Re-armed first: the next tick is due a second from now even while
        // this one is still running.
        timer.start(intervalMs);
        if (depth >= maxDepth) {
            ++skipped;
            return;
        }
        ++depth;
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{depth};
        tick();
    }
};

TickTimer::TickTimer(std::function<void()> tick, int intervalMs, int maxDepth) : impl_(std::make_unique<Impl>()) {
    impl_->tick = std::move(tick);
    impl_->maxDepth = maxDepth;
    impl_->timer.setSingleShot(true);
    impl_->intervalMs = intervalMs;
    Impl* p = impl_.get();
    QObject::connect(&impl_->timer, &QTimer::timeout, [p] { p->fire(); });
}

TickTimer::~TickTimer() = default;
void TickTimer::start(int firstDelayMs) { impl_->timer.start(firstDelayMs < 0 ? impl_->intervalMs : firstDelayMs); }
void TickTimer::stop() { impl_->timer.stop(); }
int TickTimer::depth() const { return impl_->depth; }
int TickTimer::skipped() const { return impl_->skipped; }

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void CallOnQuitSignals(std::function<void()> onSignal) {
    if (g_signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
        char buffer[16];
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buffer, sizeof buffer);
        onSignal();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace vel::platform
