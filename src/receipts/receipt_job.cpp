#include "receipts/receipt_job.h"

#include "common/commands.h"
#include "common/format.h"
#include "common/io.h"
#include "common/job_files.h"
#include "common/program.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/shell.h"
#include "receipts/receipt_check.h"
#include "receipts/text_lines.h"


namespace vel::receipts {

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-2\" standalone=\"yes\"?>";
constexpr const char* kLogRoot = "<Paragony Na=\"koncu\" dopisz=\"/Paragony>\">";
constexpr const char* kSeveralErrors = "  21. Paragon XML zawiera bledy - pelny spis w PAR.PAS";
constexpr const char* kPrintedPrefix = "   0.";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The files of one receipt job, all in one folder and named from the id.
struct ReceiptFiles {
    std::string folder;   // work prefix, or the folder the receipt was named with
    std::string id;
    std::string receipt;  // the receipt as found on disk

    std::string named(std::string_view prefix) const { return ReceiptFileName(folder, id, prefix, "xml"); }
};

// A file of the given name, or else one whose name differs only in the case
// of its letters (the sibling programs and the command line do not agree on
// case, and the file system here tells it apart). Empty when neither exists.
std::string ExistingFile(const std::string& path) {
    if (FileExists(path)) return path;
    std::size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
    const std::string bare = path.substr(cut);
    if (bare.find_first_of("*?") != std::string::npos) return {};
    for (const std::string& found : FindFiles(path)) {
        if (EqualsIgnoreCase(found, bare)) return path.substr(0, cut) + found;
    }
    return {};
}

ReceiptFiles FilesOf(const Program& program, const std::string& name) {
    std::size_t cut = name.size();
    while (cut > 0 && !IsSeparator(name[cut - 1])) --cut;
    ReceiptFiles files;
    files.folder = cut > 0 ? name.substr(0, cut) : program.state.workPrefix;
    const std::string bare = name.substr(cut);
    files.id = ReceiptId(bare);
    files.receipt = ExistingFile(files.folder + bare);
    if (files.receipt.empty()) files.receipt = files.folder + bare;
    return files;
}

bool MarkerOpens() {
    if (!FileExists(kDriverMarker)) return false;
    std::FILE* marker = OpenFile(kDriverMarker, "rb");
    if (!marker) return false;
    std::fclose(marker);
    return true;
}

// Sleeps between the tries; pending window messages run after each sleep.
bool WaitForDriver(Program& program) {
    for (int attempt = 0; attempt < kDriverTries; ++attempt) {
        program.sys.clock.sleepMs(kDriverTryMs);
        program.sys.events.processPending();
        if (MarkerOpens()) return true;
    }
    return false;
}

// The nine characters after "numer" and one separating character.
std::string ReceiptNumberOf(const std::string& answer) {
    const std::size_t at = answer.find("numer");
    if (at == std::string::npos) return "0";
    const std::size_t from = at + 6;
    return from < answer.size() ? answer.substr(from, 9) : std::string();
}

// Clears print_busy however the job ends. The job holds it while it runs,
// since the wait for the driver lets a nested tick run.
class BusyGuard {
public:
    explicit BusyGuard(ProgramState& state) : state_(state) { state_.printBusy = true; }
    ~BusyGuard() { state_.printBusy = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    ProgramState& state_;
};

// The sibling program reads the reply with an XML reader: a driver answer or
// a receipt number holding one of these would make the reply unreadable, and
// it could not learn whether the receipt was printed. Every other byte stays.
std::string AttributeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

void AppendLogs(const ReceiptFiles& files) {
    const std::string xmlLog = files.folder + "Log.xml";
    std::string xml;
    if (!FileExists(xmlLog)) xml = std::string(kDeclaration) + "\r\n" + kLogRoot + "\r\n";
    for (const char* prefix : {"Ok-", "Bad", "Rap", "Neg"}) {
        const std::string found = ExistingFile(files.named(prefix));
        if (!found.empty()) xml += CopyXmlBody(ReadFile(found));
    }
    AppendFile(xmlLog, xml);

    // The text log keeps the hand-off file of every job as it was given to
    // the driver, with the error list of a rejected receipt.
    const std::string textLog = files.folder + "Log.tx";
    std::string text;
    if (!FileExists(textLog)) text = "\r\n";
    if (FileExists(kHandOffFile)) {
        const std::string handOff = ReadFile(kHandOffFile);
        for (std::string_view line : SplitLines(handOff)) {
            text.append(line);
            text += "\r\n";
        }
    }
    AppendFile(textLog, text);
}

}  // namespace

std::string ReceiptId(std::string_view bareName) {
    if (bareName.size() <= 6) return {};
    std::string id(bareName.substr(3, bareName.size() - 6));
    return LowerAscii(std::move(id));
}

std::string ReceiptFileName(std::string_view folder, std::string_view id, std::string_view prefix,
                            std::string_view extension) {
    std::string name(folder);
    name += prefix;
    name += id;
    name += extension;
    return name;
}

void RotateReceiptFiles(const std::string& first, const std::string& second, const std::string& third) {
    DeleteFileQuietly(third);
    RenameFileQuietly(second, third);
    RenameFileQuietly(first, second);
}

std::string CopyXmlBody(std::string_view sourceBytes) {
    const std::vector<std::string_view> lines = SplitLines(sourceBytes);
    std::size_t next = 0;
    while (next < lines.size()) {
        if (lines[next++].find("<?xml") != std::string_view::npos) break;
    }
    std::string out;
    do {
        if (next < lines.size()) out.append(lines[next]);
        out += "\r\n";
        ++next;
    } while (next < lines.size());
    return out;
}

std::string DriverStartError(int code) {
    switch (code) {
    case 0: return "  40. The operating system is out of memory or resources.";
    case 2: return "  40. The specified file was not found.";
    case 3: return "  40. The specified path was not found.";
    case 5: return "  40. The operating system denied access To the specified file.";
    case 8: return "  40. There was not enough memory To complete the operation.";
    case 11: return "  40. The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return "  40. A sharing violation occurred.";
    case 27: return "  40. The filename association is incomplete or invalid.";
    case 28: return "  40. The DDE transaction could not be completed because the request timed out.";
    case 29: return "  40. The DDE transaction failed.";
    case 30:
        return "  40. The DDE transaction could not be completed because other DDE transactions were being "
               "processed.";
    case 31: return "  40. There is no application associated with the given filename extension.";
    case 32: return "  40. The specified dynamic-link library was not found.";
    default: return {};
    }
}

std::string ReplyText(std::string_view nr, std::string_view receiptNumber, std::string_view message) {
    const std::string_view code = message.size() > 2 ? message.substr(2, 2) : std::string_view();
    std::string reply = std::string(kDeclaration) + "\r\n\r\n<BACK";
    reply += " IDDRUK=\"1\"";
    reply += " NR=\"" + AttributeValue(nr) + "\"";
    reply += " NRPAR=\"" + AttributeValue(receiptNumber) + "\"";
    reply += " KODBL=\"" + AttributeValue(code) + "\"";
    reply += " OPISBL=\"" + AttributeValue(message) + "\"";
    reply += "/>";
    return reply;
}

void ProcessReceipt(Program& program, const std::string& name) {
    BusyGuard busy(program.state);
    const ReceiptFiles files = FilesOf(program, name);
    const std::string reply = files.named("Rap");
    const std::string bad = files.named("Bad");
    const std::string backup = files.named("Bak");

    ReceiptErrors errors;
    std::string nr;
    std::string receiptNumber = "0";
    std::string message;
    bool printed = false;

    if (FileExists(reply)) {
        AddReceiptError(errors, "  21. Paragon ju\xbf wydrukowany (bo " + reply + ")", 0);  // "już"
        RotateReceiptFiles(files.receipt, bad, backup);
    } else {
        const ValidateResult checked = ValidateReceipt(files.receipt, errors);
        nr = checked.nr;
        if (errors.empty()) {
            // A marker or an answer left by an earlier driver run must not be
            // taken for this receipt's.
            DeleteFileQuietly(kDriverMarker);
            DeleteFileQuietly(kDriverAnswer);
            const std::string driver = NameFromPath(NativePath(program.state.driverPath));
            // A driver that is there but could have been put there by others
            // is refused as the system refuses access; a missing one is left
            // to the system to report.
            const bool refused = !MayStart(program, driver);
            const std::string startError = DriverStartError(
                refused ? 5 : program.sys.shell.open(driver, kHandOffFile, "", platform::ShowMode::Minimized));
            if (!startError.empty()) {
                AddReceiptError(errors, startError, checked.rows);
            } else if (!WaitForDriver(program)) {
                AddReceiptError(errors, "  41. Program WQG pracuje zbyt dlugo", checked.rows);
            } else {
                DeleteFileQuietly(kDriverMarker);
                const auto answerBytes = TryReadFile(kDriverAnswer);
                if (!answerBytes) {
                    // The driver finished without its answer: whether it
                    // printed is unknown, so the receipt is not offered again.
                    AddReceiptError(errors, "  42. Brak odpowiedzi programu WQG", checked.rows);
                } else {
                    const auto lines = SplitLines(*answerBytes);
                    const std::string answer = lines.size() > 1 ? std::string(lines[1]) : std::string();
                    if (answer.rfind(kPrintedPrefix, 0) == 0) {
                        printed = true;
                        RotateReceiptFiles(files.receipt, files.named("Ok-"), backup);
                        receiptNumber = ReceiptNumberOf(answer);
                        message = answer;
                    } else {
                        RotateReceiptFiles(files.receipt, bad, backup);
                        AddReceiptError(errors, answer, checked.rows);
                    }
                }
            }
        }
    }

    if (!printed) {
        RotateReceiptFiles(files.receipt, bad, backup);
        std::string listed = "-----\r\n";
        for (std::size_t i = 0; i < errors.count; ++i) listed += errors.messages[i] + "\r\n";
        AppendFile(kHandOffFile, listed);
        message = errors.count == 1 ? errors.messages[0] : kSeveralErrors;
        // A driver message " 12. ..." gets its code into characters 3 and 4.
        if (message.find('.') == 3) message.insert(0, " ");
        receiptNumber = "0";
    }
    // The receipt's job is over whatever its renaming did: a receipt file
    // that stays is not handed to the driver again.
    for (const std::string& left : {files.receipt, program.workPath(name)}) {
        if (FileExists(left) && !program.state.keptJobs.count(left)) KeepFinishedJobFile(program, left);
    }

    WriteFile(reply, ReplyText(nr, receiptNumber, message));
    AppendLogs(files);
}

int RunReceiptCommand(Program& program, const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err) {
    std::string receipt;
    std::string driverDir;
    bool driverDirGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--driver-dir" && i + 1 < args.size()) {
            driverDir = args[++i];
            driverDirGiven = true;
        } else if (receipt.empty() && args[i].rfind("--", 0) != 0) {
            receipt = args[i];
        } else {
            receipt.clear();
            break;
        }
    }
    if (receipt.empty()) {
        err << "usage: vel-job receipt PARFILE [--driver-dir DIR]\n";
        return 2;
    }
    if (driverDirGiven) {
        if (!driverDir.empty() && !IsSeparator(driverDir.back())) driverDir += '/';
        program.state.driverPath = driverDir + kDriverProgram;
    } else if (program.state.driverPath.empty()) {
        program.state.driverPath = kDriverProgram;
    }
    const ReceiptFiles files = FilesOf(program, receipt);
    if (!FileExists(files.receipt)) {
        err << "vel-job receipt: no receipt file " << receipt << "\n";
        return 1;
    }
    try {
        ProcessReceipt(program, receipt);
    } catch (const IoError& e) {
        err << "vel-job receipt: " << e.what() << "\n";
        return 1;
    }
    out << files.named("Rap") << "\n";
    return 0;
}

}  // namespace vel::receipts
