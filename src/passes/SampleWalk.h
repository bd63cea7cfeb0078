#pragma once
// A walk over pass samples written as a coroutine: it asks for the sample at one second at a time
// (co_await SampleAt{second}) and whoever runs it answers. Run one walk at once with RunWalk, or
// many side by side, answering each step of all of them together (the batch search propagates
// the samples of many objects in one call). A walk may co_await another walk; the inner one's
// requests go to the same runner.
#include <coroutine>
#include <exception>
#include <utility>

#include "passes/PassSearch.h"

namespace corvane {

struct SampleAt {
    long long second = 0;
};

// Where a walk (and the walks it awaits) leaves its request and finds the answer.
struct WalkRequest {
    long long second = 0;
    PassSample sample;
    std::coroutine_handle<> waiting;  // resumes with the answer
};

template <class T>
class [[nodiscard]] Walk {
public:
    struct promise_type;
    using Handle = std::coroutine_handle<promise_type>;

    struct promise_type {
        T result{};
        WalkRequest* request = nullptr;
        std::coroutine_handle<> parent;

        Walk get_return_object() { return Walk(Handle::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        auto final_suspend() noexcept {
            struct Final {
                bool await_ready() noexcept { return false; }
                std::coroutine_handle<> await_suspend(Handle h) noexcept {
                    const std::coroutine_handle<> parent = h.promise().parent;
                    return parent ? parent : std::noop_coroutine();
                }
                void await_resume() noexcept {}
            };
            return Final{};
        }
        void return_value(T value) { result = std::move(value); }
        void unhandled_exception() { std::terminate(); }

        auto await_transform(SampleAt at) {
            struct Ask {
                WalkRequest* request;
                long long second;
                bool await_ready() noexcept { return false; }
                void await_suspend(std::coroutine_handle<> h) noexcept {
                    request->second = second;
                    request->waiting = h;
                }
                PassSample await_resume() noexcept { return request->sample; }
            };
            return Ask{request, at.second};
        }
        template <class U>
        auto await_transform(Walk<U>&& inner) {
            struct Inner {
                Walk<U> walk;
                WalkRequest* request;
                bool await_ready() noexcept { return false; }
                std::coroutine_handle<> await_suspend(std::coroutine_handle<> h) noexcept {
                    walk.handle_.promise().request = request;
                    walk.handle_.promise().parent = h;
                    return walk.handle_;
                }
                U await_resume() { return std::move(walk.handle_.promise().result); }
            };
            return Inner{std::move(inner), request};
        }
    };

    Walk(Walk&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Walk& operator=(Walk&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    ~Walk() {
        if (handle_) handle_.destroy();
    }

    // Starts the walk (with request as its mailbox); it runs to its first request or its end.
    void Start(WalkRequest& request) {
        handle_.promise().request = &request;
        handle_.resume();
    }
    bool Done() const { return handle_.done(); }
    T& Result() { return handle_.promise().result; }

private:
    template <class U>
    friend class Walk;
    explicit Walk(Handle h) : handle_(h) {}
    Handle handle_;
};

// Answers the request in `request` and runs the walk on to its next request or its end.
inline void Answer(WalkRequest& request, const PassSample& sample) {
    request.sample = sample;
    const std::coroutine_handle<> next = std::exchange(request.waiting, {});
    next.resume();
}

// Runs a walk to its end, answering each request with sampler.
template <class T, class Sampler>
T RunWalk(Walk<T> walk, Sampler&& sampler) {
    WalkRequest request;
    walk.Start(request);
    while (!walk.Done()) Answer(request, sampler(request.second));
    return std::move(walk.Result());
}

}  // namespace corvane
