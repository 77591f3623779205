#pragma once
// Late-bound calls on automation objects (IDispatch) by member name, the way
// the spreadsheet programs are driven: names are looked up with
// GetIDsOfNames and called with Invoke. Text crosses as BSTR, converted from
// and to code page 1250 here; numbers go as doubles (VT_R8), whole numbers as
// VT_I4.

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>

namespace vel::platform {

// One argument or answer of a call; owns what it holds (text, object, array).
class Variant {
public:
    Variant();  // nothing (VT_EMPTY)
    Variant(int value);
    Variant(double value);
    Variant(bool value);
    Variant(const std::string& cp1250);
    Variant(const char* cp1250);
    // An array of no values (VT_ARRAY | VT_VARIANT), such as no load options.
    static Variant EmptyArray();
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    ~Variant();

    VARIANT& raw() { return value_; }
    const VARIANT& raw() const { return value_; }
    // The value as code page 1250 text; nothing for an empty value.
    std::string text() const;

private:
    VARIANT value_;
};

// An automation object. Every failure (an unknown member, an error the
// program raised, an answer of the wrong kind) throws vel::IoError naming
// `subject` (the workbook being worked on) and the member.
class Dispatch {
public:
    Dispatch() = default;
    // Keeps a reference of its own to `object`.
    Dispatch(IDispatch* object, std::string subject);
    Dispatch(const Dispatch& other);
    Dispatch& operator=(const Dispatch& other);
    ~Dispatch();

    // A method, or a property with arguments; arguments left to right.
    Variant call(const char* member, std::initializer_list<Variant> args = {}) const;
    // call() whose answer is an object.
    Dispatch object(const char* member, std::initializer_list<Variant> args = {}) const;
    void put(const char* member, const Variant& value) const;

    IDispatch* get() const { return object_; }
    const std::string& subject() const { return subject_; }

private:
    Variant invoke(const char* member, WORD flags, std::initializer_list<Variant> args) const;
    IDispatch* object_ = nullptr;
    std::string subject_;
};

}  // namespace vel::platform
