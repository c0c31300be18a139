#include "xmlio/SavedText.h"

#include <atomic>
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

}  // namespace

Writer::Writer() : out_(lastTextSize.load(std::memory_order_relaxed) / 4 * 5) {}

TextBuffer Writer::finish() {
  if (const xmlsource::Judgement characters = xmlsource::checkCharacters(out_.view()); !characters.wellFormed())
    throw dom::Error(dom::kFailed, "the text is not valid UTF-8 XML (" +
                                       xmlsource::describePosition(out_.view(), characters.at) + ": " + characters.what + ")");
  lastTextSize.store(out_.view().size(), std::memory_order_relaxed);
  return std::move(out_);
}

std::string toString(const TextBuffer& text) {
  try {
    return std::string(text.view());
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
