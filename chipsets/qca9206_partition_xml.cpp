#include "chipsets/qca9206_partition_xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace {

// A partition list is a few kilobytes; anything far larger is not one.
constexpr uintmax_t kMaxFileBytes = 16u << 20;

// Network access stays off, and neither entities nor the DTD are loaded or expanded: a
// firmware's file cannot reach other files or multiply itself. The library's own limits on
// nesting depth and text length stay in force (no "huge" option).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct ContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct DocumentDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::string trimmed(const std::string& text) {
  const char* space = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool hasName(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The text directly inside `element`: its text and CDATA children. Entity references are
// left out, so a declared entity is never expanded into the station's memory.
std::string ownText(const xmlNode* element) {
  std::string text;
  for (const xmlNode* child = element->children; child; child = child->next) {
    if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content) {
      text += reinterpret_cast<const char*>(child->content);
    }
  }
  return trimmed(text);
}

std::string firstChildText(const xmlNode* parent, const char* name) {
  for (const xmlNode* child = parent->children; child; child = child->next) {
    if (hasName(child, name)) return ownText(child);
  }
  return "";
}

void readPartition(const xmlNode* partition, std::vector<PartitionXmlImage>& images) {
  const std::string imageName = firstChildText(partition, "img_name");
  if (imageName.empty() || imageName.find("partition.mbn") != std::string::npos) return;
  const std::string name = firstChildText(partition, "name");
  const size_t colon = name.find(':');
  images.push_back({colon == std::string::npos ? "" : name.substr(colon + 1), imageName});
}

// Every element below `root`, depth-first in document order, each before its children. The
// walk keeps its own stack: a deep document cannot exhaust the thread's.
void walk(const xmlNode* root, std::vector<PartitionXmlImage>& images) {
  std::vector<const xmlNode*> pending;
  auto pushChildren = [&pending](const xmlNode* parent) {
    const size_t start = pending.size();
    for (const xmlNode* child = parent->children; child; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(start), pending.end());
  };
  pushChildren(root);
  while (!pending.empty()) {
    const xmlNode* element = pending.back();
    pending.pop_back();
    if (hasName(element, "partition")) readPartition(element, images);
    pushChildren(element);
  }
}

bool readFile(const std::string& path, std::string& contents, std::string& error) {
  std::error_code code;
  const uintmax_t size = std::filesystem::file_size(path, code);
  if (code) {
    error = "Cannot read " + path + ": " + code.message();
    return false;
  }
  if (size > kMaxFileBytes) {
    error = path + " is too large for a partition list (" + std::to_string(size) + " bytes)";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  contents.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) {
    error = "Cannot read " + path;
    return false;
  }
  return true;
}

std::string libraryError(xmlParserCtxt* context) {
  const xmlError* error = xmlCtxtGetLastError(context);
  if (!error || !error->message) return "The XML file could not be parsed";
  std::string text = trimmed(error->message);
  if (error->line > 0) text += " (line " + std::to_string(error->line) + ")";
  return text;
}

}  // namespace

PartitionXml readPartitionXml(const std::string& path) {
  PartitionXml result;
  std::string contents;
  if (!readFile(path, contents, result.error)) return result;
  std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
  if (!context) {
    result.error = "Out of memory";
    return result;
  }
  std::unique_ptr<xmlDoc, DocumentDeleter> doc(
      xmlCtxtReadMemory(context.get(), contents.data(), static_cast<int>(contents.size()),
                        path.c_str(), nullptr, kParseOptions));
  if (!doc) {
    result.error = libraryError(context.get());
    return result;
  }
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root) {
    result.error = "The XML file has no root element";
    return result;
  }
  walk(root, result.images);
  return result;
}
