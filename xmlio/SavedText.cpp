#include "xmlio/SavedText.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "platform/FileSystem.h"
#include "xmlio/Dom.h"
#include "xmlio/XmlSource.h"

namespace savedtext {

void TextBuffer::grow(std::size_t size) {
  const std::size_t used = static_cast<std::size_t>(cursor_ - text_.get());
  capacity_ = std::max(capacity_ + capacity_ / 2, used + size);
  std::unique_ptr<char[]> larger(new char[capacity_]);
  std::memcpy(larger.get(), text_.get(), used);
  text_ = std::move(larger);
  cursor_ = text_.get() + used;
  end_ = text_.get() + capacity_;
}

namespace {

// The size of the last saved text: the texts of one run are of similar sizes (the descriptions
// differ by a fifth at most), and a buffer sized for the last one and a quarter is not grown.
std::atomic<std::size_t> lastTextSize{0};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t skipSpaces(std::string_view text, std::size_t at) {
  while (at < text.size() && isSpace(text[at])) ++at;
  return at;
}

[[noreturn]] void notASerialisation(const char* what) {
  throw dom::Error(dom::kFailed, std::string("the DOM's text cannot be read back: ") + what);
}

// A text or attribute value of the serialisation with its references resolved; every other
// character is the value's own, taken as it stands (the DOM wrote it raw).
std::string_view resolveReferences(std::string_view text, std::string& out) {
  if (text.find('&') == std::string_view::npos) return text;
  out.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t amp = text.find('&', at);
    if (amp == std::string_view::npos) {
      out.append(text, at);
      break;
    }
    out.append(text, at, amp - at);
    const std::size_t semicolon = text.find(';', amp);
    if (semicolon == std::string_view::npos) notASerialisation("a reference without ';'");
    const std::string_view name = text.substr(amp + 1, semicolon - amp - 1);
    static constexpr struct {
      std::string_view name;
      char character;
    } kPredefined[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    bool known = false;
    for (const auto& entity : kPredefined) {
      if (name == entity.name) {
        out += entity.character;
        known = true;
      }
    }
    if (!known) {
      const bool hex = name.starts_with("#x");
      if (!name.starts_with('#') || name.size() < (hex ? 3u : 2u)) notASerialisation("an unknown reference");
      std::uint32_t code = 0;
      for (const char c : name.substr(hex ? 2 : 1)) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) notASerialisation("a malformed character reference");
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (code > 0x10FFFF) notASerialisation("a character reference out of range");
      }
      xmlsource::appendUtf8(out, code);
    }
    at = semicolon + 1;
  }
  return out;
}

// The end of a name in a tag: at white space, '/', '>' or '='.
std::size_t nameEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && !isSpace(text[at]) && text[at] != '/' && text[at] != '>' && text[at] != '=') ++at;
  return at;
}

std::size_t require(std::size_t found, const char* what) {
  if (found == std::string_view::npos) notASerialisation(what);
  return found;
}

}  // namespace

Writer::Writer() : out_(lastTextSize.load(std::memory_order_relaxed) / 4 * 5) {}

TextBuffer Writer::finish() {
  if (const xmlsource::Judgement characters = xmlsource::checkCharacters(out_.view()); !characters.wellFormed())
    throw dom::Error(dom::kFailed, "the text is not valid UTF-8 XML (" +
                                       xmlsource::describePosition(out_.view(), characters.at) + ": " + characters.what + ")");
  lastTextSize.store(out_.view().size(), std::memory_order_relaxed);
  return std::move(out_);
}

TextBuffer layOut(std::string_view serialised) {
  try {
    Writer out;
    std::string valueBuffer;
    std::size_t at = serialised.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    unsigned depth = 0;
    while (at < serialised.size()) {
      const std::string_view rest = serialised.substr(at);
      if (rest[0] != '<') {
        const std::size_t end = std::min(serialised.find('<', at), serialised.size());
        const std::string_view text = serialised.substr(at, end - at);
        if (depth > 0) {
          out.text(resolveReferences(text, valueBuffer));
        } else if (skipSpaces(text, 0) != text.size()) {
          notASerialisation("text outside the root element");
        }
        at = end;
      } else if (rest.starts_with("<?")) {
        const std::size_t end = require(serialised.find("?>", at + 2), "an unterminated processing instruction");
        const std::string_view body = serialised.substr(at + 2, end - at - 2);
        const std::size_t targetEnd = std::min(body.find_first_of(" \t\r\n"), body.size());
        const std::string_view target = body.substr(0, targetEnd);
        const std::string_view data = body.substr(skipSpaces(body, targetEnd));
        out.processingInstruction(target, data);
        if (depth == 0) out.endTopLevelNode();
        at = end + 2;
      } else if (rest.starts_with("<!--")) {
        const std::size_t end = require(serialised.find("-->", at + 4), "an unterminated comment");
        out.comment(serialised.substr(at + 4, end - at - 4));
        if (depth == 0) out.endTopLevelNode();
        at = end + 3;
      } else if (rest.starts_with("<![CDATA[")) {
        const std::size_t end = require(serialised.find("]]>", at + 9), "an unterminated CDATA section");
        out.cdata(serialised.substr(at + 9, end - at - 9));
        at = end + 3;
      } else if (rest.starts_with("<!")) {
        // A document type declaration is no node of the tree: it is not written.
        const std::size_t subset = serialised.find('[', at);
        std::size_t end = require(serialised.find('>', at), "an unterminated declaration");
        if (subset < end) end = require(serialised.find('>', require(serialised.find(']', subset), "an unterminated subset")), "an unterminated declaration");
        at = end + 1;
      } else if (rest.starts_with("</")) {
        const std::size_t end = require(serialised.find('>', at), "an unterminated end tag");
        if (depth == 0) notASerialisation("an end tag without its start");
        out.endElement(serialised.substr(at + 2, nameEnd(serialised, at + 2) - at - 2));
        if (--depth == 0) out.endTopLevelNode();
        at = end + 1;
      } else {
        const std::size_t nameAt = at + 1;
        at = nameEnd(serialised, nameAt);
        if (at == nameAt) notASerialisation("a tag without a name");
        out.startElement(serialised.substr(nameAt, at - nameAt));
        for (;;) {
          at = skipSpaces(serialised, at);
          if (at >= serialised.size()) notASerialisation("an unterminated start tag");
          if (serialised[at] == '/' || serialised[at] == '>') break;
          const std::size_t attributeNameEnd = nameEnd(serialised, at);
          const std::string_view name = serialised.substr(at, attributeNameEnd - at);
          const std::size_t equals = skipSpaces(serialised, attributeNameEnd);
          if (name.empty() || equals >= serialised.size() || serialised[equals] != '=') notASerialisation("a malformed attribute");
          const std::size_t open = skipSpaces(serialised, equals + 1);
          if (open >= serialised.size() || (serialised[open] != '"' && serialised[open] != '\''))
            notASerialisation("an attribute value without quotes");
          const std::size_t close = require(serialised.find(serialised[open], open + 1), "an unterminated attribute value");
          out.attribute(name, resolveReferences(serialised.substr(open + 1, close - open - 1), valueBuffer));
          at = close + 1;
        }
        // An element written as a start tag directly followed by its end tag has no children.
        bool hasChildren = false;
        if (serialised[at] == '/') {
          at = require(serialised.find('>', at), "an unterminated start tag") + 1;
        } else if (serialised.compare(at + 1, 2, "</") == 0) {
          at = require(serialised.find('>', at + 3), "an unterminated end tag") + 1;
        } else {
          hasChildren = true;
          ++at;
        }
        out.endStartTag(hasChildren);
        if (hasChildren) {
          ++depth;
        } else if (depth == 0) {
          out.endTopLevelNode();
        }
      }
    }
    if (depth != 0) notASerialisation("an element that is not closed");
    return out.finish();
  } catch (const std::bad_alloc&) {
    throw dom::Error(dom::kOutOfMemory);
  }
}

platform::WriteResult writeToFile(const std::string& path, std::string_view text, const std::string& backupPath) {
  platform::WriteResult written = platform::writeFileReplacing(path, text, backupPath);
  if (!written) throw dom::Error(dom::kFailed, written.reason);
  return written;
}

}  // namespace savedtext
