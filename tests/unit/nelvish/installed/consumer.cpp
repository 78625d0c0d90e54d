// A program of a library user: built against the installed headers and library only, it makes,
// saves and reads back a document and exits 0 when everything came back as written.

#include <zendral/nelvish.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  void* object = nullptr;
  if (!CreateObject(CLSID_Nelvish, IID_INelvish, &object)) return 3;
  auto* xml = static_cast<INelvish*>(object);

  XmlNode root = xml->CreateDocument("station");
  XmlNode line = xml->AppendElement(root, "line");
  xml->SetAttribute(line, "name", "产线");
  xml->SetElementText(line, "固件");
  int saved = xml->SaveFile(argv[1]);
  int loaded = xml->LoadFile(argv[1]);
  XmlNode read = xml->SelectNodes(xml->GetRootElement(), "line[@name='产线']").at(0);
  std::string text = xml->GetText(read);
  xml->Release();

  // The handle outlives the object that gave it out.
  bool ok = saved == 0 && loaded == 0 && text == "固件" && static_cast<bool>(line);
  std::printf("%s\n", ok ? "consumer: ok" : "consumer: FAILED");
  return ok ? 0 : 1;
}
