// tessaro-cli update --all: a gang update for production lines.
//
// The coordinator opens one session, lists the hubs with their identities
// and switches selective suspend off once for the whole run.  Then every hub
// is updated by a worker of its own with its own engine object and so its own
// driver sessions (a session is never shared between threads).  A worker's
// engine is pinned to the identity the coordinator listed and follows that
// hub through the list: a hub that leaves or is swapped fails alone, and no
// worker ever writes to a hub that took another's place.  Selective suspend
// is restored once, after the last worker.
#include "tools/cli/gang.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include "files/EepFile.h"
#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "platform/append_file.h"
#include "power/SuspendSteps.h"
#include "tools/cli/backup.h"
#include "tools/cli/output.h"
#include "tools/cli/progress.h"
#include "tools/cli/record.h"

using tessaro::Sys;

namespace cli {

const char* ResultName(HubResult result) {
    switch (result) {
        case HubResult::Success: return "success";
        case HubResult::Failed: return "failed";
        case HubResult::RolledBack: return "rolled_back";
        case HubResult::RollbackFailed: return "rollback_failed";
        case HubResult::Skipped: return "skipped";
        default: return "pending";
    }
}

std::string IdentityText(const CHubIsp::HubIdentity& identity) {
    size_t n = 0;
    while (n < static_cast<size_t>(kContainerIdSize) && identity.containerId[n]) ++n;
    if (n) return std::string(reinterpret_cast<const char*>(identity.containerId), n);
    // Without a container ID the driver's record is all that tells it apart.
    char text[64];
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X#%u", identity.record.idVendor, identity.record.idProduct,
                  static_cast<unsigned>(identity.record.handle));
    return text;
}

namespace {

struct GangOptions {
    std::string imageFile;
    std::vector<uint8_t> image;  // with the configuration merged when --eep is given
    int imageClass = -1;
    std::string backupFolder;    // empty: no backup
    bool rollback = false;
    std::time_t started = 0;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One hub, on its worker's thread.
void UpdateOne(HubJob& job, size_t row, const GangOptions& options, ProgressBoard& board) {
    const uint64_t startMs = Sys().clock->NowMs();
    auto finish = [&](HubResult result, const std::string& reason) {
        job.result = result;
        job.reason = reason;
        job.seconds = static_cast<double>(Sys().clock->NowMs() - startMs) / 1000.0;
        if (result == HubResult::Success) board.Percent(row).store(100);
        board.SetPhase(row, ResultName(result));
        board.Done(row);
    };
    CHubIsp isp;
    isp.m_quiet = 2;  // no box, but the update reports its progress
    isp.m_followpin = true;
    CHubIsp::OperationScope sameHub(isp);
    isp.PinHub(job.index, job.identity);

    board.SetPhase(row, "identifying");
    job.type = isp.GetChipType(job.index, 1);
    if (job.type == CHIP_ID_UNKNOWN) return finish(HubResult::Failed, isp.m_lasterror);
    board.SetType(row, job.type);
    if (!ImageFitsHub(options.imageClass, job.type))
        return finish(HubResult::Skipped, "an image of class " + std::to_string(options.imageClass) +
                                              " does not fit this hub (" + HubTypeText(job.type) + ")");

    // What the hub holds now: the whole store when it is backed up, the
    // configuration block (for its version) otherwise.
    std::vector<uint8_t> backup;
    if (!options.backupFolder.empty()) {
        board.SetPhase(row, "backing up");
        std::string error;
        if (!ReadStore(isp, job.index, job.type, backup, error))
            return finish(HubResult::Failed, "backup not read, hub not erased: " + error);
        if (!SaveBackup(options.backupFolder, job.identityText, options.started, backup, job.backupFile, error))
            return finish(HubResult::Failed, "backup not saved, hub not erased: " + error);
        const ImageVersion v = StoreVersionBytes(backup.data(), static_cast<int>(backup.size()), job.type);
        job.oldVersion = VersionText(v.high, v.low);
    } else {
        board.SetPhase(row, "reading");
        const int size = ConfigBlockSize(job.type);
        std::vector<uint8_t> block(static_cast<size_t>(size > 0 ? size : 1), 0);
        if (IsSpiHubType(job.type)) isp.LoadFlashInfo();
        if (size > 0 && isp.ReadData(block.data(), size, 1, static_cast<unsigned>(job.index)))
            job.oldVersion = StoreVersionFromBlock(block.data(), size).text;
    }

    board.SetPhase(row, "updating");
    std::vector<uint8_t> image = options.image;
    SharedText status;
    ErrorFlag flag{0};
    if (isp.UpdateFirmware(job.index, options.imageClass, image.data(), static_cast<int>(image.size()),
                           &board.Percent(row), &status, &flag)) {
        const ImageVersion v = ReadImageVersion(options.image.data(), static_cast<int>(options.image.size()));
        job.newVersion = VersionText(v.high, v.low);
        return finish(HubResult::Success, std::string());
    }
    const std::string reason = isp.m_lasterror;
    if (!options.rollback || backup.empty()) return finish(HubResult::Failed, reason);
    if (!isp.StoreTouched()) return finish(HubResult::Failed, reason + "; the store was not touched");

    // The update failed after its erase or first write: the store goes back to
    // what the backup holds, verified.  A hub that left or changed is
    // refused by the engine like any other write.
    board.SetPhase(row, "rolling back");
    board.Percent(row).store(0);
    std::string error;
    if (!ProgramStore(isp, job.index, job.type, backup, &board.Percent(row), error))
        return finish(HubResult::RollbackFailed, reason + "; roll-back failed: " + error);
    job.newVersion = job.oldVersion;
    finish(HubResult::RolledBack, reason + "; rolled back from " + job.backupFile);
}

void PrintTable(const std::vector<HubJob>& jobs) {
    Say("\n%-4s %-40s %-5s %-5s %-16s %8s\n", "hub", "identity", "old", "new", "result", "seconds");
    for (const HubJob& job : jobs)
        Say("%-4d %-40s %-5s %-5s %-16s %8.1f\n", job.index, job.identityText.c_str(),
            job.oldVersion.empty() ? "-" : job.oldVersion.c_str(), job.newVersion.empty() ? "-" : job.newVersion.c_str(),
            ResultName(job.result), job.seconds);
    for (const HubJob& job : jobs)
        if (!job.reason.empty()) Say("hub %d: %s\n", job.index, job.reason.c_str());
}

nlohmann::json HubJson(const HubJob& job) {
    auto text = [](const std::string& s) { return s.empty() ? nlohmann::json(nullptr) : nlohmann::json(s); };
    return {{"hub", job.index},
            {"identity", job.identityText},
            {"type", job.type},
            {"type_text", HubTypeText(job.type)},
            {"old_version", text(job.oldVersion)},
            {"new_version", text(job.newVersion)},
            {"result", ResultName(job.result)},
            {"reason", text(job.reason)},
            {"backup", text(job.backupFile)},
            {"seconds", job.seconds}};
}

}  // namespace

int GangUpdate(Args& args) {
    GangOptions options;
    std::string eep, record;
    long jobsWanted = 0;
    args.Option("--eep", eep);
    args.Option("--backup", options.backupFolder);
    args.Option("--record", record);
    if (!args.Number("--jobs", jobsWanted, false)) return 1;
    options.rollback = args.Flag("--rollback");
    if (options.rollback && options.backupFolder.empty()) return Fail("--rollback needs --backup DIR");
    if (jobsWanted < 0) return Fail("--jobs must be 1 or more");
    if (args.Rest().size() != 1) return Fail("update --all needs exactly one IMAGE");
    options.imageFile = args.Rest()[0];
    uint32_t code = 0;
    std::vector<uint8_t> file;
    if (!ReadWholeFile(options.imageFile, file, code))
        return Fail("Couldn't open firmware file! " + options.imageFile + ": " + SystemErrorText(code));
    options.imageClass = CHubIsp::ClassifyImage(file.data(), static_cast<int>(file.size()));
    if (options.imageClass == -1) return Fail("Cannot determine hub part number in the binary file!");
    options.image = file;
    if (!eep.empty()) {
        // The configuration a hub of the image's class holds, merged as a
        // checksummed image is made.
        const EepLoad load = LoadEepForHub(eep, BaseName(eep), options.imageClass, EepOwner::Console);
        if (!load.ok) return Fail(load.report.message);
        const SumImage sum = BuildSumImage(file.data(), static_cast<int>(file.size()), options.imageClass,
                                           load.block.data(), static_cast<int>(load.block.size()),
                                           ReadImageVersion(file.data(), static_cast<int>(file.size())));
        if (!sum.ok) return Fail("no store size for class " + std::to_string(options.imageClass));
        options.image = sum.bytes;
    }
    const uint16_t imageSum = CalcChecksum(file.data(), static_cast<int>(file.size()));
    options.started = std::time(nullptr);
    Result()["image"] = options.imageFile;
    Result()["image_class"] = options.imageClass;
    Result()["image_checksum"] = imageSum;

    // The coordinator: the hubs and their identities, selective suspend off.
    QuietIsp coordinator;
    if (!coordinator.OpenDevice()) return Fail(coordinator.m_lasterror);
    unsigned count = 0;
    if (!coordinator.GetHubNumber(&count)) return Fail("Get hub number ERROR!");
    if (count > static_cast<unsigned>(kMaxHubs)) {
        Say("%u hubs found; the first %d are updated\n", count, kMaxHubs);
        count = kMaxHubs;
    }
    std::vector<HubJob> jobs(count);
    std::vector<int> numbers;
    for (unsigned i = 0; i < count; ++i) {
        jobs[i].index = static_cast<int>(i);
        if (!coordinator.IdentityAt(static_cast<int>(i), jobs[i].identity))
            return Fail("Get hub info ERROR!");
        jobs[i].identityText = IdentityText(jobs[i].identity);
        numbers.push_back(static_cast<int>(i));
    }
    SuspendBookkeeping suspend;
    std::string failure;
    SwitchOffOptions off;
    off.powerPlanStatus.clear();
    off.perDeviceStatus.clear();
    if (!SwitchSelectiveSuspendOff(coordinator, count, suspend, failure, off)) {
        RestoreSelectiveSuspend(coordinator, suspend);
        return Fail(failure);
    }
    coordinator.CloseDevice();

    // The workers: each takes the next hub until none is left.
    ProgressBoard board(numbers, ProgressBoard::StdoutIsTerminal());
    const size_t threads = jobsWanted > 0 ? std::min<size_t>(static_cast<size_t>(jobsWanted), jobs.size()) : jobs.size();
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (size_t t = 0; t < threads; ++t)
        workers.emplace_back([&]() {
            for (size_t i = next++; i < jobs.size(); i = next++) UpdateOne(jobs[i], i, options, board);
        });
    board.Wait();
    for (std::thread& w : workers) w.join();

    bool ok = true;
    if (!RestoreSelectiveSuspend(coordinator, suspend)) {
        Say("selective suspend could not be restored\n");
        Result()["suspend_restored"] = false;
        ok = false;
    } else {
        Result()["suspend_restored"] = true;
    }
    std::vector<std::string> report;
    coordinator.EnableLeftDisabled(&report);
    for (const std::string& line : report) Say("%s\n", line.c_str());

    PrintTable(jobs);
    int asked = 0;
    Result()["hubs"] = nlohmann::json::array();
    std::vector<nlohmann::json> lines;
    const std::string host = tessaro::HostName();
    for (const HubJob& job : jobs) {
        Result()["hubs"].push_back(HubJson(job));
        if (job.result == HubResult::Skipped) continue;
        ++asked;
        ok = ok && job.result == HubResult::Success;
        nlohmann::json line = HubJson(job);
        line.erase("backup");
        line["time"] = IsoTime(options.started);
        line["host"] = host;
        line["image"] = options.imageFile;
        line["image_checksum"] = imageSum;
        lines.push_back(line);
    }
    if (!record.empty()) {
        std::string error;
        if (!AppendRecord(record, lines, error)) {
            Fail(error);
            ok = false;
        }
    }
    if (!asked) return Fail("no hub fits an image of class " + std::to_string(options.imageClass));
    if (!ok && JsonOutput() && !Result().contains("error"))
        Result()["error"] = {{"message", "not every hub was updated"}};
    return ok ? 0 : 1;
}

}  // namespace cli
