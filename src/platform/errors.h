#pragma once
// The program's small family of errors. Every error carries a message and names its class, so
// the last-resort handler and the message boxes can show "ClassName message".

#include <stdexcept>
#include <string>

// Base of the family; also the general error with a message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* className() const { return "Exception"; }
    std::string message() const { return what(); }
};

// A file could not be opened.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EFOpenError"; }
};

// A file could not be created or replaced.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EFCreateError"; }
};

// A text is not a valid number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EConvertError"; }
};

// An audio device error carrying the wave-in result code.
class EInOutError : public Exception {
public:
    EInOutError(const std::string& message, int errorCode)
        : Exception(message), errorCode_(errorCode) {}
    const char* className() const override { return "EInOutError"; }
    int ErrorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// The MIDI driver library could not be loaded or used.
class EMaxMidiException : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EMaxMidiException"; }
};

// An operation that the object's current state does not allow.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EInvalidOperation"; }
};
