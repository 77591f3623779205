#include "shell/win32/win32_dispatch.h"

#include "common/io.h"
#include "platform/file_system.h"
#include "shell/win32/win32_error_text.h"

#include <oleauto.h>

#include <cstdio>
#include <utility>
#include <vector>

namespace vel::platform {

namespace {

std::string Narrow(const wchar_t* text) { return text ? NarrowFileName(text) : std::string(); }

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// The system's words for a failure code, with the code itself.
std::string Explain(HRESULT hr) {
    const std::string text = SystemErrorWords(static_cast<DWORD>(hr));
    return text.empty() ? Hex(hr) : text + " (" + Hex(hr) + ")";
}

// What the program said about the error it raised: its name and its words.
std::string Explain(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    const std::string source = Narrow(info.bstrSource);
    std::string text = Narrow(info.bstrDescription);
    if (text.empty()) {
        // wCode is the program's own error number, scode a system code.
        text = info.scode ? Explain(info.scode)
               : info.wCode ? "error " + std::to_string(info.wCode)
                            : std::string("an error without a description");
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return source.empty() ? text : source + ": " + text;
}

}  // namespace

Variant::Variant() { VariantInit(&value_); }

Variant::Variant(int value) : Variant() {
    value_.vt = VT_I4;
    value_.lVal = value;
}

Variant::Variant(double value) : Variant() {
    value_.vt = VT_R8;
    value_.dblVal = value;
}

Variant::Variant(bool value) : Variant() {
    value_.vt = VT_BOOL;
    value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(const std::string& cp1250) : Variant() {
    const std::wstring wide = WideFileName(cp1250);
    value_.vt = VT_BSTR;
    value_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!value_.bstrVal) throw std::bad_alloc();
}

Variant::Variant(const char* cp1250) : Variant(std::string(cp1250)) {}

Variant Variant::EmptyArray() {
    Variant v;
    v.value_.parray = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    if (!v.value_.parray) throw std::bad_alloc();
    v.value_.vt = VT_ARRAY | VT_VARIANT;
    return v;
}

Variant::Variant(const Variant& other) : Variant() {
    if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&other.value_)))) throw std::bad_alloc();
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        VariantClear(&value_);
        if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&other.value_)))) throw std::bad_alloc();
    }
    return *this;
}

Variant::~Variant() { VariantClear(&value_); }

std::string Variant::text() const {
    if (value_.vt == VT_BSTR) return Narrow(value_.bstrVal);
    if (value_.vt == VT_EMPTY || value_.vt == VT_NULL) return {};
    // Numbers as the program's own text (with a point), not the desktop's.
    VARIANT converted;
    VariantInit(&converted);
    std::string text;
    if (SUCCEEDED(VariantChangeTypeEx(&converted, const_cast<VARIANT*>(&value_), LOCALE_INVARIANT, 0, VT_BSTR))) {
        text = Narrow(converted.bstrVal);
    }
    VariantClear(&converted);
    return text;
}

Dispatch::Dispatch(IDispatch* object, std::string subject) : object_(object), subject_(std::move(subject)) {
    if (object_) object_->AddRef();
}

Dispatch::Dispatch(const Dispatch& other) : Dispatch(other.object_, other.subject_) {}

Dispatch& Dispatch::operator=(const Dispatch& other) {
    if (this != &other) {
        if (other.object_) other.object_->AddRef();
        if (object_) object_->Release();
        object_ = other.object_;
        subject_ = other.subject_;
    }
    return *this;
}

Dispatch::~Dispatch() {
    if (object_) object_->Release();
}

Variant Dispatch::invoke(const char* member, WORD flags, std::initializer_list<Variant> args) const {
    const std::string name = member;
    if (!object_) throw IoError(subject_, "spreadsheet " + name + ": no object to call");
    std::wstring wide(name.begin(), name.end());
    LPOLESTR names[] = {wide.data()};
    DISPID id = 0;
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw IoError(subject_, "spreadsheet " + name + ": " + Explain(hr));

    // Invoke takes the arguments last one first.
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) reversed.push_back(it->raw());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    Variant result;
    EXCEPINFO info{};
    UINT badArgument = 0;
    hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                         (flags & DISPATCH_PROPERTYPUT) ? nullptr : &result.raw(), &info, &badArgument);
    if (hr == DISP_E_EXCEPTION) throw IoError(subject_, "spreadsheet " + name + ": " + Explain(info));
    if (FAILED(hr)) throw IoError(subject_, "spreadsheet " + name + ": " + Explain(hr));
    return result;
}

Variant Dispatch::call(const char* member, std::initializer_list<Variant> args) const {
    return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Dispatch Dispatch::object(const char* member, std::initializer_list<Variant> args) const {
    Variant answer = call(member, args);
    IDispatch* found = nullptr;
    VARIANT& v = answer.raw();
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&found));
    }
    if (!found) throw IoError(subject_, "spreadsheet " + std::string(member) + ": no object in the answer");
    Dispatch result(found, subject_);
    found->Release();
    return result;
}

void Dispatch::put(const char* member, const Variant& value) const { invoke(member, DISPATCH_PROPERTYPUT, {value}); }

}  // namespace vel::platform
