// A caller built against the installed Nelvish package: saves a document with Chinese text as
// PATH.xml and reads it back. Exits 0 when everything reads back as written.

#include <zendral/nelvish.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
    return 2;
  }
  const std::string path = std::string(argv[1]) + ".xml";
  void* object = nullptr;
  if (!CreateObject(CLSID_Nelvish, IID_INelvish, &object)) return 3;
  auto* xml = static_cast<INelvish*>(object);

  XmlNode root = xml->CreateDocument("station");
  XmlNode line = xml->AppendElement(root, "line");
  xml->SetAttribute(line, "name", "产线");
  xml->SetElementText(line, "固件");
  int saved = xml->SaveFile(path);
  int loaded = xml->LoadFile(path);
  XmlNode read = xml->SelectNodes(xml->GetRootElement(), "line[@name='产线']").at(0);
  std::string text = xml->GetText(read);
  xml->Release();

  // The handle outlives the object that gave it out.
  bool ok = saved == 0 && loaded == 0 && text == "固件" && static_cast<bool>(line);
  std::printf("%s\n", ok ? "consumer: ok" : "consumer: FAILED");
  return ok ? 0 : 1;
}
