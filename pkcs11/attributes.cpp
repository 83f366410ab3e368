// Attribute values in the shapes Cryptoki defines (CK_BBOOL, CK_ULONG, byte
// strings) and the rules of C_GetAttributeValue and C_FindObjectsInit.
#include "attributes.h"

#include <cstring>

namespace tarnwick::pkcs11 {

void AttributeSet::SetBool(CK_ATTRIBUTE_TYPE type, bool value) {
  Set(type, Bytes{static_cast<uint8_t>(value ? CK_TRUE : CK_FALSE)});
}

void AttributeSet::SetUlong(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
  Bytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  Set(type, std::move(bytes));
}

void AttributeSet::SetText(CK_ATTRIBUTE_TYPE type, const std::string& text) { Set(type, Bytes(text.begin(), text.end())); }

const Bytes* AttributeSet::Find(CK_ATTRIBUTE_TYPE type) const {
  auto it = values_.find(type);
  return it == values_.end() || !it->second ? nullptr : &*it->second;
}

bool AttributeSet::Matches(std::span<const CK_ATTRIBUTE> pattern) const {
  for (const CK_ATTRIBUTE& wanted : pattern) {
    auto it = values_.find(wanted.type);
    if (it == values_.end() || !it->second) return false;
    const Bytes& value = *it->second;
    if (value.size() != wanted.ulValueLen) return false;
    if (!value.empty() && (wanted.pValue == nullptr || std::memcmp(value.data(), wanted.pValue, value.size()) != 0))
      return false;
  }
  return true;
}

CK_RV AttributeSet::CopyOut(std::span<CK_ATTRIBUTE> request) const {
  CK_RV rv = CKR_OK;
  for (CK_ATTRIBUTE& attribute : request) {
    auto it = values_.find(attribute.type);
    if (it == values_.end()) {
      attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = CKR_ATTRIBUTE_TYPE_INVALID;
    } else if (!it->second) {
      attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = CKR_ATTRIBUTE_SENSITIVE;
    } else if (attribute.pValue == nullptr) {
      attribute.ulValueLen = it->second->size();
    } else if (attribute.ulValueLen < it->second->size()) {
      attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = CKR_BUFFER_TOO_SMALL;
    } else {
      if (!it->second->empty()) std::memcpy(attribute.pValue, it->second->data(), it->second->size());
      attribute.ulValueLen = it->second->size();
    }
  }
  return rv;
}

Template::Template(const CK_ATTRIBUTE* attributes, CK_ULONG count) {
  if (attributes == nullptr) {
    valid_ = count == 0;
    return;
  }
  attributes_ = {attributes, count};
  for (const CK_ATTRIBUTE& attribute : attributes_) {
    if (attribute.pValue == nullptr && attribute.ulValueLen != 0) valid_ = false;
  }
}

const CK_ATTRIBUTE* Template::Find(CK_ATTRIBUTE_TYPE type) const {
  for (const CK_ATTRIBUTE& attribute : attributes_) {
    if (attribute.type == type) return &attribute;
  }
  return nullptr;
}

std::optional<Bytes> Template::GetBytes(CK_ATTRIBUTE_TYPE type) const {
  const CK_ATTRIBUTE* attribute = Find(type);
  if (attribute == nullptr) return std::nullopt;
  const auto* value = static_cast<const uint8_t*>(attribute->pValue);
  return attribute->ulValueLen == 0 ? Bytes{} : Bytes(value, value + attribute->ulValueLen);
}

std::optional<bool> Template::GetBool(CK_ATTRIBUTE_TYPE type, bool* bad) const {
  const CK_ATTRIBUTE* attribute = Find(type);
  if (attribute == nullptr) return std::nullopt;
  if (attribute->ulValueLen != sizeof(CK_BBOOL)) {
    *bad = true;
    return std::nullopt;
  }
  return *static_cast<const CK_BBOOL*>(attribute->pValue) != CK_FALSE;
}

std::optional<CK_ULONG> Template::GetUlong(CK_ATTRIBUTE_TYPE type, bool* bad) const {
  const CK_ATTRIBUTE* attribute = Find(type);
  if (attribute == nullptr) return std::nullopt;
  if (attribute->ulValueLen != sizeof(CK_ULONG)) {
    *bad = true;
    return std::nullopt;
  }
  CK_ULONG value = 0;
  std::memcpy(&value, attribute->pValue, sizeof value);
  return value;
}

}  // namespace tarnwick::pkcs11
