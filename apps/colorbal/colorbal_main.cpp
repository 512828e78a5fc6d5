// apps/colorbal/colorbal_main.cpp
#include "apps/colorbal/colorbal_main.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>

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

const char* const kExitStatusText =
    "Exit status: 0 success; 1 the run failed (an acquisition, or writing an output or standard\n"
    "output); 2 bad usage or input (nothing was done); 3 balanced, but the result is not usable\n"
    "(the report's warnings say why).\n";

const char* const kBalanceFooter =
    "What is printed: the settings found (exposure in ms, contrast and brightness on 0..1), whether\n"
    "the camera's LUT was the identity at the end, the number of images the search took, the\n"
    "percentage of good pels (no plane below 5 or above 239) at the start settings and at the\n"
    "result, the wall-clock time the balancing took, and warnings when the result is not usable.\n"
    "With --json the same as one JSON object, exposure in seconds and fractions on 0..1 (its\n"
    "\"units\" member says so). On a terminal a progress line on standard error shows the images\n"
    "taken so far and the settings of the last one.\n"
    "Options that set parameters override single fields of a --params file; the file's values are\n"
    "checked like the options. Every output is checked before the first image is taken and appears\n"
    "whole or not at all.\n";

const char* const kShowFooter =
    "FILE is an archive written by --save-params or --save-result; its first entry is the tag\n"
    "\"colorbal-params\" or \"colorbal-result\", then the record. Exposures are shown in ms\n"
    "(seconds in JSON).\n";

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
    return "a built-in scene (" + names + ") or a binary PPM (P6) or PNG file (default: chart)";
}

// Options the program takes before a command.
bool isProgramOption(const std::string& word) { return word == "--help" || word == "-h" || word == "--version"; }

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

int runProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal,
               const kcCameraCommands* cameras) {
    CLI::App app(
        "colorbal balances a colour camera automatically: it searches exposure, contrast and brightness so that "
        "the images come out well exposed. It runs on a simulated camera" +
            std::string(cameras ? " or on a GenICam camera (balance --camera)." : "."),
        kProgramName);
    app.footer(kExitStatusText);
    app.set_version_flag("--version", std::string(kProgramName) + " " + COLORBAL_VERSION);
    app.require_subcommand(1);

    kcBalanceOptionText text;
    CLI::App* balance = app.add_subcommand(
        "balance", cameras
                       ? "balance the simulated camera, or a GenICam camera with --camera, and print the settings found"
                       : "balance the simulated camera and print the settings found");
    addText(*balance, "--scene", text.scene, sceneHelp(), "NAME|FILE");
    addText(*balance, "--size", text.size,
            "image size in pels, 64x48 to 2448x2048 (default: 640x480; a file scene's own size)", "WxH");
    addText(*balance, "--seed", text.seed, "seed of the simulated camera's noise (default: 1)", "N");
    addText(*balance, "--exposure-range", text.exposureRange,
            "exposures searched, in seconds, 0 < START <= END (default: 1e-06,0.3)", "START,END");
    addText(*balance, "--vary", text.vary,
            "settings the search may change: exposure, contrast, brightness (comma-separated) or none "
            "(default: exposure,contrast,brightness)",
            "AXES");
    addText(*balance, "--exposure-step", text.exposureStep,
            "round exposures to multiples of this many seconds; 0: no rounding (default: 0)", "X");
    addText(*balance, "--contrast-step", text.contrastStep,
            "round contrasts (0..1) to multiples of this, 0..0.5 (default: 0.0009765625)", "X");
    addText(*balance, "--brightness-step", text.brightnessStep,
            "round brightnesses (0..1) to multiples of this, 0..0.5 (default: 0.0009765625)", "X");
    addText(*balance, "--positive-lut", text.positiveLut,
            "install the positive (identity) input LUT while balancing: on or off, also yes/no, true/false, 1/0 in "
            "any case (default: on)",
            "on|off");
    addText(*balance, "--params", text.paramsFile,
            "start from the parameters stored in FILE (--save-params) (default: the defaults above)", "FILE");
    addText(*balance, "--save-result", text.saveResult, "store the result in FILE (see `colorbal show`)", "FILE");
    addText(*balance, "--save-params", text.saveParams, "store the parameters used in FILE", "FILE");
    addText(*balance, "--diagnostics", text.diagnostics,
            "record the result images and write them to DIR (new, or an empty directory) as PNG and SVG files "
            "with an index.html",
            "DIR");
    addText(*balance, "--output", text.output, "write the report to FILE instead of standard output", "FILE");
    balance->add_flag("--json", text.json, "print the report as one JSON object (exposure in seconds)");
    std::optional<std::string> cameraName;
    bool applyResult = false;
    if (cameras) {
        addText(*balance, "--camera", cameraName,
                "balance the GenICam camera NAME (its id, serial number or address; 'genicam': the first found) "
                "instead of the simulator; --size sets its image size",
                "NAME");
        balance->add_flag("--apply", applyResult,
                          "with --camera: leave the result on the camera when the search succeeds and the result "
                          "is usable (without it the camera is handed back as found)");
    }
    balance->footer(std::string(kBalanceFooter) + kExitStatusText);

    std::string showPath;
    bool showJson = false;
    CLI::App* show = app.add_subcommand("show", "print a stored parameter or result archive");
    show->add_option("FILE", showPath, "the archive to print")->required();
    show->add_flag("--json", showJson, "print it as one JSON object");
    show->footer(std::string(kShowFooter) + kExitStatusText);

    CLI::App* scenes = app.add_subcommand("scenes", "list the built-in scenes");
    scenes->footer(kExitStatusText);
    CLI::App* cameraList = cameras ? app.add_subcommand("cameras", "list the GenICam cameras found") : nullptr;
    if (cameraList) cameraList->footer(kExitStatusText);
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
        apply->footer(kExitStatusText);
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
    if (optionFirst && !isProgramOption(args.front())) {
        err << kProgramName << ": unknown option '" << args.front() << "'; before a command only --help and --version "
            << "are accepted (see '" << kProgramName << " --help')\n";
        return kExitUsage;
    }
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

}  // namespace

int kfColorbalMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal,
                   const kcCameraCommands* cameras) {
    const int status = runProgram(args, out, err, errIsTerminal, cameras);
    // Output that never arrived is a failed run, whatever came before.
    errno = 0;
    out.flush();
    if (!out) {
        err << kProgramName
            << ": cannot write standard output: " << (errno != 0 ? std::strerror(errno) : "the output stream failed")
            << "\n";
        return kExitRunFailed;
    }
    return status;
}
