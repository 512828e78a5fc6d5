// apps/colorbal/colorbal_main.cpp
#include "apps/colorbal/colorbal_main.h"

#include <CLI/CLI.hpp>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/interrupt.h"
#include "apps/colorbal/options.h"
#include "apps/colorbal/report_output.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/sim/sim_scene.h"

namespace {

constexpr const char* kProgramName = "colorbal";

const char* const kBalanceFooter =
    "What is printed: the settings found, whether the camera's LUT was the identity at the end, the\n"
    "number of images the search took, the fraction of good pels (no plane below 5 or above 239)\n"
    "of a noise-free full-size rendering of the scene at the start settings and at the result, and\n"
    "the time the balancing took. On a terminal a progress line on standard error shows the images\n"
    "taken so far and the settings of the last one.\n"
    "Options that set parameters override single fields of a --params file.\n";

const char* const kShowFooter =
    "FILE is an archive written by --save-params or --save-result; its first entry is the tag\n"
    "\"colorbal-params\" or \"colorbal-result\", then the record.\n";

// Adds an option whose value is kept as typed (checked later, with our own
// messages).
CLI::Option* addText(CLI::App& app, const std::string& name, std::optional<std::string>& target,
                     const std::string& help, const std::string& typeName) {
    return app
        .add_option_function<std::string>(
            name, [&target](const std::string& value) { target = value; }, help)
        ->type_name(typeName);
}

std::string sceneHelp() {
    std::string names;
    for (const std::string& n : kcSimScene::builtInNames()) names += (names.empty() ? "" : ", ") + n;
    return "a built-in scene (" + names + ") or a binary PPM (P6) or PNG file [chart]";
}

bool isCommand(const std::string& word, bool withCameras) {
    return word == "balance" || word == "show" || word == "scenes" ||
           (withCameras && (word == "cameras" || word == "apply"));
}

int runShow(const std::string& path, bool json, std::ostream& out) {
    const kcArchiveFileContents contents = kfReadArchiveFile(path);
    if (contents.kind == kcArchiveFileContents::eParams)
        kfPrintParams(out, contents.params, json);
    else
        kfPrintResult(out, contents.result, json);
    return kExitSuccess;
}

int runScenes(std::ostream& out) {
    for (const std::string& name : kcSimScene::builtInNames()) {
        std::string padded = name;
        padded.resize(std::max<std::size_t>(padded.size() + 2, 10), ' ');
        out << padded << kcSimScene::describe(name) << "\n";
    }
    return kExitSuccess;
}

}  // namespace

int kfColorbalMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal,
                   const kcCameraCommands* cameras) {
    CLI::App app("colorbal balances a colour camera automatically; this program runs it on a simulated camera.",
                 kProgramName);
    app.set_version_flag("--version", std::string(kProgramName) + " " + COLORBAL_VERSION);
    app.require_subcommand(1);

    kcBalanceOptionText text;
    CLI::App* balance = app.add_subcommand("balance", "balance the simulated camera and print the settings found");
    addText(*balance, "--scene", text.scene, sceneHelp(), "NAME|FILE");
    addText(*balance, "--size", text.size,
            "image size, 64x48 to 2448x2048 [640x480; a file's own size for a file scene]", "WxH");
    addText(*balance, "--seed", text.seed, "seed of the camera noise [1]", "N");
    addText(*balance, "--exposure-range", text.exposureRange, "exposures searched, 0 < START <= END [1e-06,0.3]",
            "START,END");
    addText(*balance, "--vary", text.vary,
            "settings the search may change: exposure, contrast, brightness (comma-separated) or none "
            "[exposure,contrast,brightness]",
            "AXES");
    addText(*balance, "--exposure-step", text.exposureStep, "round exposures to multiples of this; 0: no rounding [0]",
            "X");
    addText(*balance, "--contrast-step", text.contrastStep,
            "round contrasts to multiples of this, 0..0.5 [0.0009765625]", "X");
    addText(*balance, "--brightness-step", text.brightnessStep,
            "round brightnesses to multiples of this, 0..0.5 [0.0009765625]", "X");
    addText(*balance, "--positive-lut", text.positiveLut,
            "install the positive (identity) input LUT while balancing: on or off [on]", "on|off");
    addText(*balance, "--params", text.paramsFile, "start from the parameters stored in FILE (--save-params)", "FILE");
    addText(*balance, "--save-result", text.saveResult, "store the result in FILE (see `colorbal show`)", "FILE");
    addText(*balance, "--save-params", text.saveParams, "store the parameters used in FILE", "FILE");
    addText(*balance, "--diagnostics", text.diagnostics,
            "record the result images and write them to DIR as PNG and SVG files with an index.html", "DIR");
    balance->add_flag("--json", text.json, "print the report as one JSON object");
    std::optional<std::string> cameraName;
    bool applyResult = false;
    if (cameras) {
        addText(*balance, "--camera", cameraName,
                "balance the GenICam camera NAME (its id, serial number or address; 'genicam': the first found) "
                "instead of the simulator; --size sets its image size",
                "NAME");
        balance->add_flag("--apply", applyResult,
                          "with --camera: leave the result on the camera when the search succeeds (without it the "
                          "camera is handed back as found)");
    }
    balance->footer(kBalanceFooter);

    std::string showPath;
    bool showJson = false;
    CLI::App* show = app.add_subcommand("show", "print a stored parameter or result archive");
    show->add_option("FILE", showPath, "the archive to print")->required();
    show->add_flag("--json", showJson, "print it as one JSON object");
    show->footer(kShowFooter);

    CLI::App* scenes = app.add_subcommand("scenes", "list the built-in scenes");
    CLI::App* cameraList = cameras ? app.add_subcommand("cameras", "list the GenICam cameras found") : nullptr;
    std::string applyPath;
    std::string applyCamera;
    bool applyJson = false;
    CLI::App* apply = nullptr;
    if (cameras) {
        apply = app.add_subcommand("apply", "put a stored result on a GenICam camera and print what it holds then");
        apply->add_option("FILE", applyPath, "a result archive written by --save-result")->required();
        apply
            ->add_option("--camera", applyCamera,
                         "the GenICam camera NAME (its id, serial number or address; 'genicam': the first found)")
            ->type_name("NAME")
            ->required();
        apply->add_flag("--json", applyJson, "print it as one JSON object");
    }

    std::vector<std::string> argvStrings;
    argvStrings.reserve(args.size() + 1);
    argvStrings.emplace_back(kProgramName);
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& a : argvStrings) argv.push_back(a.c_str());

    // Name the accepted commands when none or an unknown one is given;
    // the parser would only say that one is required.
    const bool optionFirst = !args.empty() && !args.front().empty() && args.front().front() == '-';
    if (!optionFirst && (args.empty() || !isCommand(args.front(), cameras != nullptr))) {
        err << kProgramName << ": "
            << (args.empty() ? std::string("a command is required") : "unknown command '" + args.front() + "'")
            << "; the commands are "
            << (cameras ? "balance, apply, show, scenes and cameras" : "balance, show and scenes") << " (see '"
            << kProgramName << " --help')\n";
        return kExitUsage;
    }

    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e, out, err);
            return kExitSuccess;
        }
        // One line: what was wrong, and where the options are listed.
        err << kProgramName << ": " << e.what() << " (see '" << kProgramName << " --help' or '" << kProgramName
            << " COMMAND --help')\n";
        return kExitUsage;
    }

    const auto runCommand = [&]() -> int {
        if (balance->parsed() && applyResult && !cameraName)
            throw kcUsageError("--apply puts the result on a camera; it needs --camera NAME");
        if (balance->parsed() && cameraName) {
            if (text.scene || text.seed)
                throw kcUsageError("--scene and --seed describe the simulator; not with --camera");
            kcBalanceOptions options = kfBalanceOptions(text);
            options.apply = applyResult;
            return cameras->balance(*cameraName, options, out, err, errIsTerminal);
        }
        if (balance->parsed()) return kfRunBalance(kfBalanceOptions(text), out, err, errIsTerminal);
        if (cameraList && cameraList->parsed()) return cameras->list(out, err);
        if (apply && apply->parsed()) return cameras->apply(applyPath, applyCamera, applyJson, out, err);
        if (show->parsed()) return runShow(showPath, showJson, out);
        if (scenes->parsed()) return runScenes(out);
        return kExitUsage;
    };
    try {
        const int status = runCommand();
        // A signal that came after the work was done: the outputs are whole,
        // but the run still ends as the signal asked.
        if (const int signal = kfPendingSignal(); signal != 0) {
            err << kProgramName << ": interrupted by " << kfSignalName(signal)
                << " after the run had finished; its outputs are complete\n";
            return kfExitStatusForSignal(signal);
        }
        return status;
    } catch (const kcInterrupted& e) {
        err << kProgramName << ": " << e.what() << "\n";
        return kfExitStatusForSignal(e.signal());
    } catch (const kcUsageError& e) {
        err << kProgramName << ": " << e.what() << "\n";
        return kExitUsage;
    } catch (const kcRunError& e) {
        err << kProgramName << ": " << e.what() << "\n";
        return kExitRunFailed;
    } catch (const std::exception& e) {
        err << kProgramName << ": " << e.what() << "\n";
        return kExitRunFailed;
    }
}
