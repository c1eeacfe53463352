#include "updates/UpdateWorker.h"

#include <random>

namespace corvana::updates
{

namespace
{

std::chrono::milliseconds randomUpTo(std::chrono::milliseconds limit)
{
    if (limit.count() <= 0)
        return std::chrono::milliseconds{0};
    try
    {
        std::random_device device;
        std::uniform_int_distribution<std::chrono::milliseconds::rep> pick(0, limit.count());
        return std::chrono::milliseconds{pick(device)};
    }
    catch (...)
    {
        // No random device: spreading the first checks of many instances is only a courtesy.
        return limit / 2;
    }
}

} // namespace

UpdateWorker::UpdateWorker(std::function<void()> task, std::function<void()> interrupt, Timing timing)
    : task_(std::move(task)), interrupt_(std::move(interrupt)), timing_(timing)
{
    const auto firstWait = timing_.firstDelay + randomUpTo(timing_.firstJitter);
    thread_ = std::thread([this, firstWait] { run(firstWait); });
}

UpdateWorker::~UpdateWorker()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (interrupt_)
        interrupt_();
    if (thread_.joinable())
        thread_.join();
}

bool UpdateWorker::waitFor(std::chrono::milliseconds duration)
{
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return stopping_; });
}

void UpdateWorker::run(std::chrono::milliseconds firstWait)
{
    if (!waitFor(firstWait))
        return;
    bool first = true;
    auto lastRun = std::chrono::steady_clock::now();
    for (;;)
    {
        const auto now = std::chrono::steady_clock::now();
        if (first || now - lastRun >= timing_.period)
        {
            first = false;
            lastRun = now;
            try
            {
                if (task_)
                    task_();
            }
            catch (...)
            {
            }
        }
        if (!waitFor(timing_.pollInterval))
            return;
    }
}

} // namespace corvana::updates
