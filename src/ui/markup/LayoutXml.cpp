#include "ui/markup/LayoutXml.h"

#include <cwchar>
#include <cwctype>
#include <new>

#include "ui/markup/SkinStorage.h"
#include "ui/markup/Utf8.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c >= 1 && c <= 32; }

bool IsIdentifierChar(wchar_t c) {
  // Layout names are ASCII; the platform's test is asked only about the rest.
  if (c < 128) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'_' || c == L':';
  }
  return std::iswalnum(static_cast<wint_t>(c)) != 0;
}

bool IsHighSurrogate(wchar_t c) { return sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return sizeof(wchar_t) == 2 && c >= 0xDC00 && c <= 0xDFFF; }

void CopyLimited(wchar_t* out, size_t capacity, const wchar_t* text) {
  size_t n = 0;
  if (text) {
    while (n + 1 < capacity && text[n]) {
      out[n] = text[n];
      ++n;
    }
  }
  out[n] = 0;
}

struct TEntity {
  const wchar_t* name;  // with its semicolon
  size_t length;
  wchar_t character;
};
constexpr TEntity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'},
    {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
};

}  // namespace

// One parse of one document; rewrites the document text in place.
class CLayoutXml::Parser {
 public:
  explicit Parser(CLayoutXml& doc)
      : doc_(doc), base_(doc.text_.get()), p_(base_) {}

  bool Run();

 private:
  // An element whose children are being parsed, with what its end tag needs.
  struct TOpen {
    uint32_t outerParent;
    uint32_t nameLength;
    wchar_t* dataEnd;
  };

  uint32_t Offset(const wchar_t* p) const { return static_cast<uint32_t>(p - base_); }
  void SkipBlanks() { while (IsBlank(*p_)) ++p_; }
  void SkipIdentifier() { while (IsIdentifierChar(*p_)) ++p_; }
  void SkipMarkup();
  uint32_t AppendElement(uint32_t parent, uint32_t previous);
  bool ParseAttributes();
  wchar_t* ParseData(wchar_t stop);
  bool CloseElement(uint32_t element, uint32_t nameLength, wchar_t* dataEnd);
  bool Fail(const wchar_t* message) { return doc_.Fail(message, p_); }

  CLayoutXml& doc_;
  wchar_t* const base_;
  wchar_t* p_;
};

bool CLayoutXml::Parser::Run() {
  // Pass 1 (set-up): record 0 is a placeholder so that 0 can mean "none" in the links.
  doc_.elements_.clear();
  doc_.elements_.push_back(CLayoutXml::TElement{});

  // Pass 2: the elements in document order. The open elements are kept on an explicit
  // stack rather than the call stack, so no nesting depth can exhaust it.
  std::vector<TOpen> open;
  uint32_t parent = 0;
  uint32_t previous = 0;
  SkipBlanks();
  for (;;) {
    // The sequence under `parent` ends at its end tag, or at the end of the text when the
    // parent is the root or nothing (an unclosed root is accepted).
    bool sequenceEnds = false;
    if (*p_ == 0 && parent <= 1) {
      sequenceEnds = true;
    } else {
      SkipBlanks();
      if (*p_ != L'<') return Fail(L"Expected start tag");
      sequenceEnds = p_[1] == L'/';
    }
    if (sequenceEnds) {
      if (open.empty()) return true;
      const TOpen closing = open.back();
      open.pop_back();
      const uint32_t element = parent;
      parent = closing.outerParent;
      previous = element;
      if (p_[0] == L'<' && p_[1] == L'/' &&
          !CloseElement(element, closing.nameLength, closing.dataEnd)) {
        return false;
      }
      SkipBlanks();
      continue;
    }

    *p_++ = 0;
    SkipBlanks();
    if (*p_ == L'!' || *p_ == L'?') {
      SkipMarkup();
      SkipBlanks();
      continue;
    }
    SkipBlanks();
    const uint32_t element = AppendElement(parent, previous);
    previous = element;
    wchar_t* const name = p_;
    SkipIdentifier();
    wchar_t* const nameEnd = p_;
    const uint32_t nameLength = static_cast<uint32_t>(nameEnd - name);
    if (*p_ == 0) return Fail(L"Error parsing element name");
    if (!ParseAttributes()) return false;
    SkipBlanks();
    if (p_[0] == L'/' && p_[1] == L'>') {
      doc_.elements_[element].data = Offset(p_);
      *p_ = 0;
      p_ += 2;
      *nameEnd = 0;
      SkipBlanks();
      continue;
    }
    if (*p_ != L'>') return Fail(L"Expected start-tag closing");
    ++p_;
    doc_.elements_[element].data = Offset(p_);
    // The name ends here even when no attribute follows it (the '>' is consumed).
    *nameEnd = 0;
    wchar_t* const dataEnd = ParseData(L'<');
    if (*p_ == 0 && parent <= 1) {
      *dataEnd = 0;
      continue;
    }
    if (*p_ != L'<') return Fail(L"Expected end-tag start");
    if (p_[1] != L'/') {
      open.push_back(TOpen{parent, nameLength, dataEnd});
      parent = element;
      previous = 0;
      SkipBlanks();
      continue;
    }
    if (!CloseElement(element, nameLength, dataEnd)) return false;
    SkipBlanks();
  }
}

void CLayoutXml::Parser::SkipMarkup() {
  // Comments end at the first "->", processing instructions at the first "?>".
  const wchar_t first = (*p_ == L'!') ? L'-' : L'?';
  while (*p_ && !(p_[0] == first && p_[1] == L'>')) ++p_;
  if (*p_) p_ += 2;
}

uint32_t CLayoutXml::Parser::AppendElement(uint32_t parent, uint32_t previous) {
  std::vector<CLayoutXml::TElement>& elements = doc_.elements_;
  if (elements.size() == elements.capacity()) {
    elements.reserve(elements.capacity() + elements.capacity() / 2 + 500);
  }
  const uint32_t index = static_cast<uint32_t>(elements.size());
  elements.push_back(CLayoutXml::TElement{Offset(p_), 0, 0, parent, 0});
  if (previous > 0) {
    elements[previous].next = index;
  } else if (parent > 0) {
    elements[parent].child = index;
  }
  return index;
}

bool CLayoutXml::Parser::ParseAttributes() {
  if (*p_ == L'>') return true;
  // "<name/>": the slash belongs to the tag's end, not to the attributes.
  if (p_[0] == L'/' && p_[1] == L'>') return true;
  *p_++ = 0;  // the blank after the name
  SkipBlanks();
  while (*p_ != 0 && *p_ != L'>' && *p_ != L'/') {
    SkipIdentifier();
    wchar_t* const nameEnd = p_;
    SkipBlanks();
    if (*p_ != L'=') return Fail(L"Error while parsing attributes");
    *p_ = L' ';
    *nameEnd = 0;
    ++p_;
    SkipBlanks();
    if (*p_ != L'"') return Fail(L"Expected attribute value");
    ++p_;
    wchar_t* const valueEnd = ParseData(L'"');
    if (*p_ == 0) return Fail(L"Error while parsing attribute string");
    *valueEnd = 0;
    // Keep the attribute mapping able to walk over a value that became shorter.
    if (valueEnd < p_) *p_ = L' ';
    ++p_;
    SkipBlanks();
  }
  return true;
}

wchar_t* CLayoutXml::Parser::ParseData(wchar_t stop) {
  wchar_t* src = p_;
  wchar_t* dst = p_;
  while (*src != 0 && *src != stop) {
    bool atStop = false;
    while (*src == L'&') {
      ++src;
      bool folded = false;
      for (const TEntity& entity : kEntities) {
        if (std::wcsncmp(src, entity.name, entity.length) == 0) {
          *dst++ = entity.character;
          src += entity.length;
          folded = true;
          break;
        }
      }
      if (!folded) *dst++ = L'&';
      if (*src == stop) {
        atStop = true;
        break;
      }
    }
    if (atStop || *src == 0) break;
    if (*src == L' ') {
      *dst++ = *src++;
      if (!doc_.preserveWhitespace_) {
        while (IsBlank(*src)) ++src;
      }
    } else {
      if (IsHighSurrogate(*src) && IsLowSurrogate(src[1])) *dst++ = *src++;
      *dst++ = *src++;
    }
  }
  for (wchar_t* q = dst + 1; q < src; ++q) *q = L' ';
  p_ = src;
  return dst;
}

bool CLayoutXml::Parser::CloseElement(uint32_t element, uint32_t nameLength, wchar_t* dataEnd) {
  *dataEnd = 0;
  *p_ = 0;
  p_ += 2;
  SkipBlanks();
  const wchar_t* name = base_ + doc_.elements_[element].start;
  if (std::wcsncmp(p_, name, nameLength) != 0) return Fail(L"Unmatched closing tag");
  p_ += nameLength;
  SkipBlanks();
  if (*p_ != L'>') return Fail(L"Unmatched closing tag");
  ++p_;
  return true;
}

// ---------------------------------------------------------------------------------------

bool CLayoutXml::Load(const wchar_t* text) {
  Release();
  if (!text) return Fail(L"Expected start tag", nullptr);
  const size_t length = std::wcslen(text);
  text_.reset(new (std::nothrow) wchar_t[length + 1]);
  if (!text_) return Fail(L"File too large", nullptr);
  std::wmemcpy(text_.get(), text, length + 1);
  return Parse(length);
}

bool CLayoutXml::LoadFromMem(const uint8_t* bytes, size_t size) {
  if (!bytes) size = 0;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bytes += 3;
    size -= 3;
  }
  const size_t length = size ? Utf8ToWideLength(bytes, size) : 0;
  text_.reset(new (std::nothrow) wchar_t[length + 1]);
  if (!text_) {
    Release();
    return Fail(L"File too large", nullptr);
  }
  if (length) Utf8ToWide(bytes, size, text_.get());
  text_[length] = 0;
  return Parse(length);
}

bool CLayoutXml::LoadFromFile(const wchar_t* name) {
  Release();
  std::vector<uint8_t> bytes;
  const bool fromArchive = !CSkinStorage::GetSkinArchive().empty();
  const CSkinStorage::ReadStatus status =
      CSkinStorage::ReadSkinFile(name ? name : L"", kMaxFileSize, bytes);
  switch (status) {
    case CSkinStorage::kRead:
      return LoadFromMem(bytes.data(), bytes.size());
    case CSkinStorage::kOpenFailed:
      return Fail(fromArchive ? L"Error opening zip file" : L"Error opening file", nullptr);
    case CSkinStorage::kNotFound:
      return Fail(L"Could not find ziped file", nullptr);
    case CSkinStorage::kEmpty:
      return Fail(L"File is empty", nullptr);
    case CSkinStorage::kTooLarge:
      return Fail(L"File too large", nullptr);
    case CSkinStorage::kExtractFailed:
      return Fail(L"Could not unzip file", nullptr);
    case CSkinStorage::kReadFailed:
      break;
  }
  return Fail(L"Could not read file", nullptr);
}

void CLayoutXml::Release() {
  text_.reset();
  elements_ = std::vector<TElement>();
}

CLayoutXmlNode CLayoutXml::GetRoot() const {
  if (elements_.size() < 2) return CLayoutXmlNode();
  return CLayoutXmlNode(this, 1);
}

bool CLayoutXml::Parse(size_t length) {
  errorMessage_[0] = 0;
  errorLocation_[0] = 0;
  // Offsets are 32-bit.
  if (length >= UINT32_MAX - 1) {
    Release();
    return Fail(L"File too large", nullptr);
  }
  Parser parser(*this);
  if (parser.Run()) return true;
  Release();
  return false;
}

bool CLayoutXml::Fail(const wchar_t* message, const wchar_t* location) {
  CopyLimited(errorMessage_, sizeof(errorMessage_) / sizeof(wchar_t), message);
  CopyLimited(errorLocation_, sizeof(errorLocation_) / sizeof(wchar_t), location);
  return false;
}

// ---------------------------------------------------------------------------------------

CLayoutXmlNode CLayoutXmlNode::GetChild() const {
  if (!owner_) return CLayoutXmlNode();
  const uint32_t child = owner_->elements_[element_].child;
  return child ? CLayoutXmlNode(owner_, child) : CLayoutXmlNode();
}

CLayoutXmlNode CLayoutXmlNode::GetSibling() const {
  if (!owner_) return CLayoutXmlNode();
  const uint32_t next = owner_->elements_[element_].next;
  return next ? CLayoutXmlNode(owner_, next) : CLayoutXmlNode();
}

bool CLayoutXmlNode::HasChildren() const {
  return owner_ && owner_->elements_[element_].child != 0;
}

const wchar_t* CLayoutXmlNode::GetName() const {
  if (!owner_) return nullptr;
  return owner_->text_.get() + owner_->elements_[element_].start;
}

int CLayoutXmlNode::GetAttributeCount() const {
  if (!owner_) return 0;
  if (attributeCount_ == 0) MapAttributes();
  return attributeCount_;
}

const wchar_t* CLayoutXmlNode::GetAttributeName(int index) const {
  if (index < 0 || index >= GetAttributeCount()) return L"";
  return owner_->text_.get() + attributes_[index].name;
}

const wchar_t* CLayoutXmlNode::GetAttributeValue(int index) const {
  if (index < 0 || index >= GetAttributeCount()) return L"";
  return owner_->text_.get() + attributes_[index].value;
}

bool CLayoutXmlNode::GetAttributeValue(const wchar_t* name, wchar_t* value,
                                       size_t capacity) const {
  if (!name || !value || capacity == 0) return false;
  const int count = GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    if (std::wcscmp(GetAttributeName(i), name) == 0) {
      CopyLimited(value, capacity, GetAttributeValue(i));
      return true;
    }
  }
  return false;
}

void CLayoutXmlNode::MapAttributes() const {
  // The attribute text lies between the name's terminator and the data offset, as a run of
  // zero-terminated names and values; every step stays before the data offset.
  attributeCount_ = 0;
  const CLayoutXml::TElement& element = owner_->elements_[element_];
  const wchar_t* const text = owner_->text_.get();
  const wchar_t* const end = text + element.data;
  const wchar_t* p = text + element.start;
  p += std::wcslen(p) + 1;
  auto skipBlanks = [&] { while (p < end && IsBlank(*p)) ++p; };
  auto stepPastTerminator = [&] {
    while (p < end && *p) ++p;
    if (p >= end) return false;
    ++p;
    return true;
  };
  while (p < end) {
    skipBlanks();
    if (p >= end) break;
    const uint32_t nameOffset = static_cast<uint32_t>(p - text);
    if (!stepPastTerminator()) break;
    skipBlanks();
    if (p >= end || *p != L'"') break;
    ++p;
    attributes_[attributeCount_++] = TAttribute{nameOffset, static_cast<uint32_t>(p - text)};
    if (attributeCount_ == kMaxAttributes) break;
    if (!stepPastTerminator()) break;
  }
}

}  // namespace SkinUI
