// SPDX-License-Identifier: MIT
#include "summary/JsonText.h"

#include <cmath>

#include "report/Formatted.h"

void JsonText::Next() {
  if (!m_first && !m_keyed) m_text += ',';
  m_first = false;
  m_keyed = false;
}

void JsonText::Open(char bracket) {
  Next();
  m_text += bracket;
  m_first = true;
}

void JsonText::Close(char bracket) {
  m_text += bracket == '{' ? '}' : ']';
  m_first = false;
}

JsonText& JsonText::Key(const char* key) {
  String(key);
  m_text += ':';
  m_keyed = true;
  return *this;
}

void JsonText::String(const std::string& text) {
  Next();
  m_text += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      m_text += '\\';
      m_text += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      m_text += Formatted("\\u%04x", byte);
    } else {
      m_text += c;
    }
  }
  m_text += '"';
}

void JsonText::Integer(int64_t value) {
  Next();
  m_text += Formatted("%lld", static_cast<long long>(value));
}

void JsonText::Unsigned(uint64_t value) {
  Next();
  m_text += Formatted("%llu", static_cast<unsigned long long>(value));
}

void JsonText::Bool(bool value) {
  Next();
  m_text += value ? "true" : "false";
}

void JsonText::Null() {
  Next();
  m_text += "null";
}

void JsonText::Tenths(double value) {
  if (!std::isfinite(value)) {
    Null();
    return;
  }
  Next();
  m_text += Formatted("%.1f", value);
}
