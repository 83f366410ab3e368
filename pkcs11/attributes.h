// An object's attributes as the module answers them: the values, which of
// them are sensitive, template matching and C_GetAttributeValue's rules;
// and reading the values an application passes in a template.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cryptoki.h"

namespace tarnwick::pkcs11 {

using Bytes = std::vector<uint8_t>;

class AttributeSet {
 public:
  void Set(CK_ATTRIBUTE_TYPE type, Bytes value) { values_[type] = std::move(value); }
  void SetBool(CK_ATTRIBUTE_TYPE type, bool value);
  void SetUlong(CK_ATTRIBUTE_TYPE type, CK_ULONG value);
  void SetText(CK_ATTRIBUTE_TYPE type, const std::string& text);
  // An attribute the object has but never reveals.
  void SetSensitive(CK_ATTRIBUTE_TYPE type) { values_[type].reset(); }

  // The value of an attribute the object reveals; nullptr otherwise.
  const Bytes* Find(CK_ATTRIBUTE_TYPE type) const;
  // Every attribute of the template present with an equal value.
  bool Matches(std::span<const CK_ATTRIBUTE> pattern) const;
  // Fills the template: lengths for null pointers, values where they fit;
  // CK_UNAVAILABLE_INFORMATION and the matching error for the others.
  CK_RV CopyOut(std::span<CK_ATTRIBUTE> request) const;

 private:
  std::map<CK_ATTRIBUTE_TYPE, std::optional<Bytes>> values_;
};

// A template from the application, checked for well-formed values.
class Template {
 public:
  Template(const CK_ATTRIBUTE* attributes, CK_ULONG count);
  bool Valid() const { return valid_; }
  std::span<const CK_ATTRIBUTE> All() const { return attributes_; }
  const CK_ATTRIBUTE* Find(CK_ATTRIBUTE_TYPE type) const;
  std::optional<Bytes> GetBytes(CK_ATTRIBUTE_TYPE type) const;
  // Absent: nullopt. A value of the wrong size makes *bad true.
  std::optional<bool> GetBool(CK_ATTRIBUTE_TYPE type, bool* bad) const;
  std::optional<CK_ULONG> GetUlong(CK_ATTRIBUTE_TYPE type, bool* bad) const;

 private:
  std::span<const CK_ATTRIBUTE> attributes_;
  bool valid_ = true;
};

}  // namespace tarnwick::pkcs11
