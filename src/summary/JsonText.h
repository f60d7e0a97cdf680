// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// JSON text, written from the start to the end: objects and arrays nest,
// the commas come by themselves. Strings may hold any byte: every one
// outside printable ASCII is written as \u00XX, the byte's value, so the
// text is valid JSON whatever the bytes and each byte comes back as the
// code point of its value.
class JsonText {
 public:
  void Open(char bracket);  // '{' or '['
  void Close(char bracket);
  // The key of the next value, in an object.
  JsonText& Key(const char* key);

  void String(const std::string& text);
  void Integer(int64_t value);
  void Unsigned(uint64_t value);
  void Bool(bool value);
  void Null();
  // With one decimal; null when it is no finite number.
  void Tenths(double value);

  const std::string& Text() const { return m_text; }

 private:
  void Next();

  std::string m_text;
  bool m_first = true;
  bool m_keyed = false;
};
