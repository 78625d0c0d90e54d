#include "chipsets/tool_command.h"

#include "platform/text_format.h"

namespace {

constexpr char kSaharaTool[] = "QSaharaServer.exe";
constexpr char kFirehoseTool[] = "fh_loader.exe";

std::string toolProgram(const char* name) {
  return toolFolder().empty() ? name : toolFolder() + "/" + name;
}

std::string portName(int com) {
  return "\\\\.\\COM" + std::to_string(com);
}

}  // namespace

std::string& toolFolder() {
  static std::string folder;
  return folder;
}

ToolCommand saharaCommand(int com, const std::string& programmer) {
  ToolCommand command;
  command.argv = {toolProgram(kSaharaTool), "-u", std::to_string(com), "-s", "13:" + programmer};
  command.text = formatText("QSaharaServer.exe -u %d -s 13:\"%s\" ", com, programmer.c_str());
  return command;
}

ToolCommand firehoseCommand(int com, const std::string& rawprogramName,
                            const std::string& patchName, const std::string& searchPath,
                            bool reset) {
  ToolCommand command;
  command.argv = {toolProgram(kFirehoseTool),
                  "--port=" + portName(com),
                  "--sendxml=" + rawprogramName + "," + patchName,
                  "--search_path=" + searchPath,
                  "--noprompt",
                  "--showpercentagecomplete",
                  "--zlpawarehost=1",
                  "--memoryname=nand",
                  "--setactivepartition=0"};
  if (reset) command.argv.push_back("--reset");
  // The blanks, doubled ones included, are those of the line as the operators know it.
  command.text = formatText(
      "fh_loader.exe --port=\\\\.\\COM%d --sendxml=%s,%s --search_path=\"%s\"  --noprompt "
      "--showpercentagecomplete --zlpawarehost=1 --memoryname=nand  --setactivepartition=\"0\" "
      "%s",
      com, rawprogramName.c_str(), patchName.c_str(), searchPath.c_str(), reset ? " --reset" : "");
  return command;
}
