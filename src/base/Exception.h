// The framework's failure classes. Every failure that ends an operation is an
// Exception (or derived); the exports catch this family first, then
// std::exception, then anything else, so nothing crosses into the host.
#pragma once

#include <string>

class Exception {
public:
    explicit Exception(std::wstring Message) : FMessage(std::move(Message)) {}
    virtual ~Exception() = default;

    const std::wstring& Message() const noexcept { return FMessage; }
    // The class name as the failure report shows it, e.g. "EFarPluginError".
    virtual const wchar_t* ClassName() const noexcept { return L"Exception"; }

private:
    std::wstring FMessage;
};

// Declares an exception class that adds nothing but its own name.
#define LODESTAR_DECLARE_EXCEPTION(Name, Base)                                                                         \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        using Base::Base;                                                                                              \
        const wchar_t* ClassName() const noexcept override { return L## #Name; }                                       \
    }

// The silent exception: ends an operation without any report (a user's Esc).
LODESTAR_DECLARE_EXCEPTION(EAbort, Exception);
LODESTAR_DECLARE_EXCEPTION(EFarError, Exception);
LODESTAR_DECLARE_EXCEPTION(EFarPluginError, EFarError);
LODESTAR_DECLARE_EXCEPTION(EListError, Exception);
LODESTAR_DECLARE_EXCEPTION(EConvertError, Exception);
LODESTAR_DECLARE_EXCEPTION(EArgumentOutOfRangeException, Exception);

// Input/output failures carry an error code (0 where none applies).
class EInOutError : public Exception {
public:
    explicit EInOutError(std::wstring Message, int ErrorCode = 0) : Exception(std::move(Message)), FErrorCode(ErrorCode)
    {
    }
    const wchar_t* ClassName() const noexcept override { return L"EInOutError"; }
    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

// Thrown by EAbort-raising code paths in one place so the intent is clear.
[[noreturn]] inline void Abort()
{
    throw EAbort(L"Operation aborted");
}
