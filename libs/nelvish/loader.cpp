// The hardened parse: one parser context of our own, with entity declarations and references
// stopped at the first occurrence and errors kept in the context instead of printed.

#include "libs/nelvish/loader.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace nelvish {
namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct FreeContext {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

// Why the parse was stopped by us, if it was; reached through the context's `_private`.
struct Refusal {
  std::string reason;
};

void refuse(void* userData, const std::string& reason) {
  auto* context = static_cast<xmlParserCtxtPtr>(userData);
  auto* refusal = static_cast<Refusal*>(context->_private);
  if (refusal->reason.empty()) refusal->reason = reason;
  xmlStopParser(context);
}

void refuseEntityDeclaration(void* userData, const xmlChar* name, int, const xmlChar*,
                             const xmlChar*, xmlChar*) {
  refuse(userData, std::string("entity declarations are not accepted (entity '") +
                       reinterpret_cast<const char*>(name) + "')");
}

void refuseEntityReference(void* userData, const xmlChar* name) {
  refuse(userData, std::string("entity references are not accepted (entity '") +
                       reinterpret_cast<const char*>(name) + "')");
}

// Errors stay in the context (read back below) instead of reaching a handler the caller's
// program may have installed for its own parses.
void keepErrorInContext(void*, xmlErrorPtr) {}

// The context's last error as "line N: message".
std::string lastErrorText(xmlParserCtxtPtr context) {
  const xmlError* error = xmlCtxtGetLastError(context);
  if (error == nullptr || error->message == nullptr) return "the document is not well-formed";
  std::string message = error->message;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  if (error->line > 0) message = "line " + std::to_string(error->line) + ": " + message;
  return message;
}

bool isBlank(const xmlChar* text) {
  for (; text != nullptr && *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
  }
  return true;
}

// Removes whitespace-only text nodes, as the documents were meant to be read: only the
// elements and their real text count.
void dropBlankText(xmlDocPtr doc) {
  std::vector<xmlNodePtr> pending{reinterpret_cast<xmlNodePtr>(doc)};
  while (!pending.empty()) {
    xmlNodePtr node = pending.back();
    pending.pop_back();
    bool preserve = node->type == XML_ELEMENT_NODE && xmlNodeGetSpacePreserve(node) == 1;
    for (xmlNodePtr child = node->children; child != nullptr;) {
      xmlNodePtr next = child->next;
      if (child->type == XML_ELEMENT_NODE) {
        pending.push_back(child);
      } else if (child->type == XML_TEXT_NODE && !preserve && isBlank(child->content)) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      }
      child = next;
    }
  }
}

std::unique_ptr<xmlParserCtxt, FreeContext> newContext(const char* bytes, int size,
                                                       Refusal& refusal) {
  std::unique_ptr<xmlParserCtxt, FreeContext> context(xmlCreateMemoryParserCtxt(bytes, size));
  if (!context) return context;
  xmlCtxtUseOptions(context.get(), kParseOptions);
  // The defaults come from process-wide settings that other code may have changed.
  context->replaceEntities = 0;
  context->loadsubset = 0;
  context->validate = 0;
  context->_private = &refusal;
  context->sax->entityDecl = refuseEntityDeclaration;
  context->sax->reference = refuseEntityReference;
  context->sax->externalSubset = nullptr;
  context->sax->serror = keepErrorInContext;
  return context;
}

}  // namespace

DocOwner parseDocument(const char* bytes, size_t size, std::string& error) {
  if (size == 0) {
    error = "the document is empty";
    return nullptr;
  }
  if (size > INT_MAX) {
    error = "the document is too large";
    return nullptr;
  }
  Refusal refusal;
  auto context = newContext(bytes, static_cast<int>(size), refusal);
  if (!context) {
    error = "the parser could not be set up";
    return nullptr;
  }
  xmlParseDocument(context.get());
  DocOwner doc(context->myDoc);
  context->myDoc = nullptr;
  if (!refusal.reason.empty()) {
    error = refusal.reason;
    return nullptr;
  }
  // A prefix without a declaration is only a namespace error to libxml2; such a document is
  // refused as a whole, like any other that is not well-formed.
  if (!context->wellFormed || !context->nsWellFormed || !doc) {
    error = lastErrorText(context.get());
    return nullptr;
  }
  dropBlankText(doc.get());
  return doc;
}

DocOwner loadDocumentFile(const std::string& path, std::string& error) {
  // The system would read the path only up to a NUL: that would be another file.
  if (path.find('\0') != std::string::npos) {
    error = "the path holds a NUL character";
    return nullptr;
  }
  // Non-blocking open: a FIFO or a device must not stall the load.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  std::vector<char> bytes;
  bool readable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= INT_MAX;
  if (readable) {
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    bytes.resize(done);
  }
  ::close(fd);
  if (!readable) {
    error = path + ": not a regular file of a readable size";
    return nullptr;
  }
  return parseDocument(bytes.data(), bytes.size(), error);
}

}  // namespace nelvish
