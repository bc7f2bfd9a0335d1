#pragma once
// The rules of the element list (element_list_pane.h), kept apart so that they can be
// checked on their own: the add gate's property, a new element's code and number, the
// deletion question, and deleting the parameter rows of an element.

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace dorvin {

// Name of the dynamic property of ElemDBNavigator that holds the add gate (its "tag").
inline constexpr const char* kAddGateProperty = "tag";

// The article code a new element starts with.
inline const QString kNewElementCode = QStringLiteral("нет");

// The number a new element gets: one above the largest number the aggregate reports,
// read as text; a text that is not an integer (empty: the type has no element yet)
// counts as 0. nullopt when the next number would not fit an element number.
std::optional<std::int32_t> nextElementNumber(std::string_view maxElNumText);

// The deletion question for an element whose model name is `model`.
QString deleteElementQuestion(const QString& model);

} // namespace dorvin
