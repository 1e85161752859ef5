#pragma once

#include <functional>
#include <string>

// What a long-running piece of work sees of the job that runs it.
class IJobContext {
public:
    virtual ~IJobContext() = default;
    // True once the user has confirmed the cancel request; never turns false again.
    virtual bool IsCancelled() const = 0;
    virtual void SetMessage(const std::u16string& text) = 0;
    // percent is 0 to 100.
    virtual void SetProgress(int percent) = 0;
};

// The work of a job: true on success; false with an optional message in error.
using JobFunction = std::function<bool(IJobContext& job, std::u16string& error)>;

// The message every cancelled operation ends with.
inline constexpr const char16_t* kCancelledMessage = u"処理が中止されました。";
