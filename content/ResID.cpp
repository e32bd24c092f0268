#include "content/ResID.h"

#include <climits>

#include "content/XmlData.h"

int WToI(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\n' || text[i] == L'\r' ||
                               text[i] == L'\v' || text[i] == L'\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

Res::Res() : Base(L"Res") {}

std::wstring Res::GetId() const {
    std::lock_guard<std::mutex> hold(idLock_);
    return id_;
}

void Res::SetId(const std::wstring& id) {
    std::lock_guard<std::mutex> hold(idLock_);
    id_ = id;
}

ResXml::~ResXml() { delete GetXml(); }
