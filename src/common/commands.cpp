#include "common/commands.h"

#include "common/program.h"
#include "platform/shell.h"

namespace vel {

void RunCommand(Program& program, const std::string& commandLine) { program.sys.shell.run(commandLine); }

}  // namespace vel
