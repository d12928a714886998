#include "ui/qt/tooltips.h"

#include <string>
#include <string_view>

namespace stylor {
namespace {

using S = EngraveSettings;

// What a field's control adds to the field's meaning: the keys that work in it.
struct ControlHint {
  FieldRef field;
  const char* text;
};

const ControlHint kControlHints[] = {
    {&S::FreeFormTextE, ". Tab moves to the next control"},
    {&S::SeqStep, "; Up, Down, Page Up, Page Down and the wheel step it"},
    {&S::SeqDigits, "; Up, Down, Page Up, Page Down and the wheel change it"},
};

}  // namespace

QString FieldCaption(const FieldInfo& field) {
  const std::string_view caption = field.caption.empty() ? field.name : field.caption;
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString FieldMessage(const FieldInfo& field, const std::string& text) {
  // The reading rules name the typed text in quotes, in a programmer's words: "'5x' is not a
  // valid floating point value". The window says it as a machinist would, after the box's name.
  struct Wording {
    std::string_view tail;
    const char* said;
  };
  static constexpr Wording kWordings[] = {
      {"' is not a valid floating point value.", " is not a number"},
      {"' is not a valid integer value.", " is not a whole number"},
  };
  QString shown = QString::fromStdString(text);
  for (const Wording& wording : kWordings) {
    if (text.size() > wording.tail.size() + 1 && text.front() == '\'' &&
        text.ends_with(wording.tail)) {
      const std::string typed = text.substr(1, text.size() - wording.tail.size() - 1);
      shown = typed.empty() ? QString("is empty: type a number")
                            : QString::fromStdString(typed) + wording.said;
      break;
    }
    if (text == "'" + std::string(wording.tail)) shown = "is empty: type a number";
  }
  return FieldCaption(field) + ": " + shown;
}

QString FieldToolTip(const FieldRef& field) {
  const std::string_view meaning = InfoOf(field).meaning;
  QString tip = QString::fromUtf8(meaning.data(), static_cast<qsizetype>(meaning.size()));
  for (const ControlHint& hint : kControlHints) {
    if (hint.field == field) tip += hint.text;
  }
  return tip;
}

QStringList ItemToolTips(IndexField field) {
  QStringList tips;
  for (const std::string_view meaning : InfoOf(field).itemMeanings) {
    tips << QString::fromUtf8(meaning.data(), static_cast<qsizetype>(meaning.size()));
  }
  return tips;
}

}  // namespace stylor
