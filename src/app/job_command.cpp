#include "app/job_command.h"

#include "common/program.h"
#include "jpk/jpk_request.h"
#include "labels/label_job.h"
#include "pcl/pcl_job.h"
#include "rates/rates.h"
#include "receipts/receipt_job.h"

#include <functional>
#include <map>

namespace vel::app {

int RunJobCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using Command = std::function<int(Program&, const std::vector<std::string>&, std::ostream&, std::ostream&)>;
    static const std::map<std::string, Command> kCommands = {
        {"print", pcl::RunPclCommand},
        {"label", labels::RunLabelCommand},
        {"receipt", receipts::RunReceiptCommand},
        {"rates", rates::RunRatesCommand},
        {"request", jpk::RunJpkCommand},
    };
    const bool help = !args.empty() && (args.front() == "--help" || args.front() == "-h");
    if (args.empty() || help || !kCommands.count(args.front())) {
        (help ? out : err) << "usage: vel-job KIND ARGS...\n"
                              "  print JOBFILE [--printer NAME | --pdf OUT.pdf]\n"
                              "  label JOBFILE [--printer NAME | --pdf OUT.pdf] [--layout clp6|general]\n"
                              "  receipt PARFILE [--driver-dir DIR]\n"
                              "  rates ARCHIVE.csv [--dir DIR]\n"
                              "  request [DIR] [--now YYYY-MM-DDTHH:MM:SS]\n";
        return help ? 0 : 2;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    return kCommands.at(args.front())(program, rest, out, err);
}

}  // namespace vel::app
