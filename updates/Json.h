#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvana::updates
{

struct JsonMember;

/**
 * One JSON value as read from the update feed or the shared record. Objects keep their
 * members in document order, duplicates included; `member` finds the first one.
 */
struct JsonValue
{
  enum class Type
  {
    Null,
    Boolean,
    Number,
    String,
    Array,
    Object
  };

  Type type = Type::Null;
  bool boolean = false;
  double number = 0.0;
  std::string string;
  std::vector<JsonValue> array;
  std::vector<JsonMember> object;

  bool isObject() const noexcept { return type == Type::Object; }
  bool isString() const noexcept { return type == Type::String; }
  bool isNumber() const noexcept { return type == Type::Number; }

  /** The first member named `name`, or null when this is no object or has no such member. */
  const JsonValue* member(std::string_view name) const noexcept;
};

struct JsonMember
{
  std::string name;
  JsonValue value;
};

/** Containers may nest this many levels below the root value; deeper documents fail. */
inline constexpr int kJsonMaxDepth = 8;

/**
 * Reads one JSON document with the strict grammar: the literals true, false and null;
 * numbers with an optional minus, no leading zeros, optional fraction and exponent;
 * strings with the standard escapes (a \u escape, surrogate pairs joined, becomes UTF-8;
 * a lone surrogate fails; raw control characters fail; other bytes are kept as they are).
 * After the value only spaces, tabs, line feeds and carriage returns may follow.
 * Any thread; allocates. Never throws on bad input (only std::bad_alloc may escape).
 */
std::optional<JsonValue> parseJson(std::string_view text);

/** True when `text` is a complete JSON document whose value is an object. */
bool isJsonObject(std::string_view text);

} // namespace corvana::updates
