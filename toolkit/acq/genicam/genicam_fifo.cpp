// toolkit/acq/genicam/genicam_fifo.cpp
#include "toolkit/acq/genicam/genicam_fifo.h"

#include <arpa/inet.h>
#include <arv.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <type_traits>
#include <utility>

#include "toolkit/acq/acq_props.h"
#include "toolkit/acq/genicam/bayer_demosaic.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/text.h"

namespace {
constexpr double kMicrosecondsPerSecond = 1e6;
constexpr double kLongestWaitMicroseconds = 1e15;  // about 30 years: "wait for ever" without overflow
constexpr unsigned kStreamBuffers = 4;             // buffers the stream fills in turn
constexpr double kStreamSocketFrames = 4.0;        // whole frames the stream socket's buffer holds
constexpr int kMinStreamSocketBytes = 1 << 20;     // its least size, for small frames
constexpr int kMaxStreamSocketBytes = 64 << 20;    // and its greatest
constexpr long kLutLastIndex = kc8BitInputLutProp::kLutSize - 1;
constexpr const char* kLoopbackPrefix = "127.";  // IPv4 loopback addresses
constexpr double kLoopbackPacketBytes = 16384;   // stream packet size over loopback (its MTU is 64 KiB)

// Pixel formats the FIFO converts, in the order it prefers them when the
// camera's own format is none of them.
constexpr std::array<const char*, 6> kPixelFormats = {"RGB8", "BayerRG8", "BayerGR8", "BayerGB8", "BayerBG8", "Mono8"};

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

// Owns the GError that a library call may report through out().
class ErrorTrap {
public:
    ErrorTrap() = default;
    ~ErrorTrap() {
        if (error_ != nullptr) g_error_free(error_);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    GError** out() { return &error_; }
    const GError* get() const { return error_; }

private:
    GError* error_ = nullptr;
};

std::wstring number(double value) {
    std::wostringstream out;
    out << value;
    return out.str();
}

std::wstring quoted(const std::string& text) { return L"\"" + kfWiden(text) + L"\""; }

bool isSupportedFormat(const std::string& format) {
    return std::find(kPixelFormats.begin(), kPixelFormats.end(), format) != kPixelFormats.end();
}

void requireFinite(double value, const wchar_t* what) {
    if (!std::isfinite(value)) throw kcBadArgument(std::wstring(what) + L" " + number(value) + L" is not finite");
}

// A buffer taken from the stream, queued again for filling when released.
class BufferLease {
public:
    BufferLease(ArvStream* stream, ArvBuffer* buffer) : stream_(stream), buffer_(buffer) {}
    ~BufferLease() { arv_stream_push_buffer(stream_, buffer_); }
    BufferLease(const BufferLease&) = delete;
    BufferLease& operator=(const BufferLease&) = delete;

    ArvBuffer* get() const { return buffer_; }

private:
    ArvStream* stream_;
    ArvBuffer* buffer_;
};

// Receive buffer of the stream socket: room for a few whole frames (a
// loopback packet of 1400 bytes takes about 2300 bytes of buffer), within
// what the system grants.
gint streamSocketBytes(guint payload) {
    const double wanted = static_cast<double>(payload) * kStreamSocketFrames;
    return static_cast<gint>(
        std::clamp(wanted, static_cast<double>(kMinStreamSocketBytes), static_cast<double>(kMaxStreamSocketBytes)));
}

// Sets the receive buffer of this process's UDP socket bound to `port`, if
// there is one. The stream does not hand out its socket; its port is the
// one the camera sends to.
void sizeUdpSocketOnPort(unsigned port, int bytes) {
    std::unique_ptr<DIR, int (*)(DIR*)> fds(opendir("/proc/self/fd"), closedir);
    if (!fds) return;
    while (const dirent* entry = readdir(fds.get())) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0') continue;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM)
            continue;
        sockaddr_in address{};
        socklen_t addressLength = sizeof address;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&address), &addressLength) != 0 ||
            address.sin_family != AF_INET || ntohs(address.sin_port) != port)
            continue;
        setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
        return;
    }
}

// A frame that lost packets on the way: asking for it again can help.
bool isIncomplete(ArvBuffer* buffer) {
    const ArvBufferStatus status = arv_buffer_get_status(buffer);
    return status == ARV_BUFFER_STATUS_TIMEOUT || status == ARV_BUFFER_STATUS_MISSING_PACKETS;
}

// The camera's automatic controls, which the FIFO switches off.
constexpr std::array<const char*, 3> kAutomaticControls = {"ExposureAuto", "GainAuto", "BlackLevelAuto"};

bool isAutomaticControl(const std::string& feature) {
    return std::find(kAutomaticControls.begin(), kAutomaticControls.end(), feature) != kAutomaticControls.end();
}

void applyLut(kcPelBuffer<unsigned char> plane, const std::array<unsigned char, kc8BitInputLutProp::kLutSize>& lut) {
    for (long y = plane.window().top(); y < plane.window().bottom(); ++y) {
        unsigned char* row = plane.pointToRow(y);
        for (long x = 0; x < plane.width(); ++x) row[x] = lut[row[x]];
    }
}
// A numeric camera feature under one of its GenICam names; an empty name
// means the camera has none of them.
struct NumericFeature {
    std::string name;
    bool integer = false;
    bool present() const { return !name.empty(); }
};

// A feature changed by the FIFO, with the value to put back on closing.
struct RememberedFeature {
    enum Kind { eEnumeration, eBoolean, eInteger };
    std::string name;
    Kind kind = eEnumeration;
    std::string entry;  // of an enumeration
    gint64 number = 0;  // of a boolean (0 or 1) or an integer
};
}  // namespace

// Hidden: the state behind the FIFO is no part of the backend's interface.
struct __attribute__((visibility("hidden"))) kcGenICamFifo::Impl {
    kcGenICamCameraInfo info;
    kcGenICamFifoOptions options;
    GObjectPtr<ArvCamera> camera;
    GObjectPtr<ArvStream> stream;
    ArvDevice* device = nullptr;  // owned by the camera

    std::string pixelFormat;
    long width = 0;  // of the images, as the camera was set when it opened
    long height = 0;
    NumericFeature exposure;
    NumericFeature gain;
    NumericFeature blackLevel;
    bool softwareTrigger = false;
    std::string hardwareSource;  // first trigger line, empty when none
    bool cameraLut = false;
    std::array<unsigned char, kc8BitInputLutProp::kLutSize> lut{};
    bool lutIsIdentity = true;

    bool enabled = true;
    const kcTriggerModel* model = nullptr;
    const kcTriggerModel* configuredFor = nullptr;
    bool running = false;  // the camera is set up for `model` and acquiring
    long pending = 0;
    unsigned long acquisitions = 0;
    double exposureSeconds = 0.0;  // last read or written, for the completion timeout
    std::chrono::steady_clock::time_point opened = std::chrono::steady_clock::now();

    bool lost = false;
    std::string lostMessage;
    bool keepAutomaticOff = false;
    std::vector<RememberedFeature> remembered;

    ~Impl() { close(); }

    std::wstring name() const { return quoted(info.id); }

    void throwIfLost() const {
        if (lost) throw kcGenICamError(L"camera " + name() + L" no longer answers (" + kfWiden(lostMessage) + L")");
    }

    // Turns a reported error into kcGenICamError; a camera that did not
    // answer in time, or is gone, is marked lost.
    void check(const ErrorTrap& trap, const std::string& what) {
        const GError* error = trap.get();
        if (error == nullptr) return;
        const std::string message = error->message != nullptr ? error->message : "unknown error";
        if (error->domain == ARV_DEVICE_ERROR &&
            (error->code == ARV_DEVICE_ERROR_TIMEOUT || error->code == ARV_DEVICE_ERROR_NOT_CONNECTED)) {
            lost = true;
            lostMessage = message;
        }
        throw kcGenICamError(L"camera " + name() + L": " + kfWiden(what) + L" failed: " + kfWiden(message));
    }

    // Runs f(GError**) against the camera and checks what it reports.
    template <class F>
    auto call(const std::string& what, F&& f) {
        throwIfLost();
        ErrorTrap trap;
        if constexpr (std::is_void_v<std::invoke_result_t<F, GError**>>) {
            f(trap.out());
            check(trap, what);
        } else {
            auto result = f(trap.out());
            check(trap, what);
            return result;
        }
    }

    bool available(const std::string& feature) {
        return call("looking up " + feature, [&](GError** e) {
                   return arv_camera_is_feature_available(camera.get(), feature.c_str(), e);
               }) != FALSE;
    }
    bool hasEntry(const std::string& feature, const std::string& entry) {
        return available(feature) &&
               call("looking up " + feature + " " + entry, [&](GError** e) {
                   return arv_camera_is_enumeration_entry_available(camera.get(), feature.c_str(), entry.c_str(), e);
               }) != FALSE;
    }
    std::string getString(const std::string& feature) {
        const char* value = call("reading " + feature,
                                 [&](GError** e) { return arv_camera_get_string(camera.get(), feature.c_str(), e); });
        return value != nullptr ? std::string(value) : std::string();
    }
    void setString(const std::string& feature, const std::string& value) {
        call("setting " + feature + " to " + value,
             [&](GError** e) { arv_camera_set_string(camera.get(), feature.c_str(), value.c_str(), e); });
    }
    bool getBoolean(const std::string& feature) {
        return call("reading " + feature,
                    [&](GError** e) { return arv_camera_get_boolean(camera.get(), feature.c_str(), e); }) != FALSE;
    }
    void setBoolean(const std::string& feature, bool value) {
        call("setting " + feature + (value ? " on" : " off"),
             [&](GError** e) { arv_camera_set_boolean(camera.get(), feature.c_str(), value ? TRUE : FALSE, e); });
    }
    gint64 getInteger(const std::string& feature) {
        return call("reading " + feature,
                    [&](GError** e) { return arv_camera_get_integer(camera.get(), feature.c_str(), e); });
    }
    void setInteger(const std::string& feature, gint64 value) {
        call("setting " + feature + " to " + std::to_string(value),
             [&](GError** e) { arv_camera_set_integer(camera.get(), feature.c_str(), value, e); });
    }
    // Sets an enumeration or integer, remembering the first value it had
    // for closing.
    void setEnumRemembered(const std::string& feature, const std::string& value) {
        const std::string current = getString(feature);
        if (current == value) return;
        remember(RememberedFeature{feature, RememberedFeature::eEnumeration, current, 0});
        setString(feature, value);
    }
    void setIntegerRemembered(const std::string& feature, gint64 value) {
        const gint64 current = getInteger(feature);
        if (current == value) return;
        remember(RememberedFeature{feature, RememberedFeature::eInteger, std::string(), current});
        setInteger(feature, value);
    }
    void remember(const RememberedFeature& feature) {
        const bool known = std::any_of(remembered.begin(), remembered.end(),
                                       [&](const RememberedFeature& r) { return r.name == feature.name; });
        if (!known) remembered.push_back(feature);
    }

    NumericFeature findNumeric(std::initializer_list<const char*> names) {
        for (const char* candidate : names) {
            if (!available(candidate)) continue;
            NumericFeature feature;
            feature.name = candidate;
            feature.integer = ARV_IS_GC_INTEGER(arv_device_get_feature(device, candidate));
            return feature;
        }
        return NumericFeature();
    }
    double getNumber(const NumericFeature& f) {
        return call("reading " + f.name, [&](GError** e) {
            return f.integer ? static_cast<double>(arv_camera_get_integer(camera.get(), f.name.c_str(), e))
                             : arv_camera_get_float(camera.get(), f.name.c_str(), e);
        });
    }
    std::pair<double, double> bounds(const NumericFeature& f) {
        return call("reading the bounds of " + f.name, [&](GError** e) {
            if (f.integer) {
                gint64 low = 0;
                gint64 high = 0;
                arv_camera_get_integer_bounds(camera.get(), f.name.c_str(), &low, &high, e);
                return std::make_pair(static_cast<double>(low), static_cast<double>(high));
            }
            double low = 0.0;
            double high = 0.0;
            arv_camera_get_float_bounds(camera.get(), f.name.c_str(), &low, &high, e);
            return std::make_pair(low, high);
        });
    }
    // Writes a value clamped to the feature's bounds (rounded for an
    // integer feature) and returns the value written.
    double setNumber(const NumericFeature& f, double value) {
        const auto [low, high] = bounds(f);
        value = std::clamp(value, low, high);
        if (f.integer) value = std::round(value);
        std::ostringstream what;
        what << "setting " << f.name << " to " << value;
        call(what.str(), [&](GError** e) {
            if (f.integer)
                arv_camera_set_integer(camera.get(), f.name.c_str(), static_cast<gint64>(value), e);
            else
                arv_camera_set_float(camera.get(), f.name.c_str(), value, e);
        });
        return value;
    }

    // The 0..1 scale of contrast and brightness over a feature's bounds.
    double readUnit(const NumericFeature& f) {
        if (!f.present()) return 0.0;
        const double value = getNumber(f);
        const auto [low, high] = bounds(f);
        return high > low ? (value - low) / (high - low) : 0.0;
    }
    void writeUnit(const NumericFeature& f, double value, const wchar_t* what) {
        requireFinite(value, what);
        if (!f.present()) {
            if (value == 0.0) return;
            throw kcPropertyNotSupported(L"camera " + name() + L" has no " + what + L" control; cannot set " + what +
                                         L" " + number(value));
        }
        const auto [low, high] = bounds(f);
        setNumber(f, low + std::clamp(value, 0.0, 1.0) * (high - low));
    }

    void open(const std::string& requested);
    void choosePixelFormat();
    void readTriggerModel();
    void readLut();
    void createStream();
    void configureFor(const kcTriggerModel& target);
    void arm();
    void disarm();
    void flushOutput();
    bool askAgain();
    kcPtrHandle<kcAcqImage> convert(ArvBuffer* buffer, kcAcquireInfo* info);
    void close() noexcept;
};

void kcGenICamFifo::Impl::open(const std::string& requested) {
    const bool first = requested.empty() || requested == kGenICamFirstCamera;
    const std::vector<kcGenICamCameraInfo> cameras = kfGenICamCameras();
    const auto found = first ? cameras.begin()
                             : std::find_if(cameras.begin(), cameras.end(),
                                            [&](const kcGenICamCameraInfo& c) { return c.isNamed(requested); });
    if (found == cameras.end()) {
        std::wstring seen;
        for (const kcGenICamCameraInfo& c : cameras) seen += (seen.empty() ? L"" : L", ") + quoted(c.id);
        throw kcGenICamError((first ? std::wstring(L"no GenICam camera was found")
                                    : L"no GenICam camera named " + quoted(requested) + L" was found") +
                             (seen.empty() ? std::wstring(L" (no camera answered)") : L" (found: " + seen + L")"));
    }
    info = *found;

    ErrorTrap trap;
    camera.reset(arv_camera_new(info.id.c_str(), trap.out()));
    if (!camera || trap.get() != nullptr) {
        camera.reset();
        const std::string message =
            trap.get() != nullptr && trap.get()->message != nullptr ? trap.get()->message : "unknown error";
        throw kcGenICamError(L"cannot open GenICam camera " + name() + L": " + kfWiden(message));
    }
    device = arv_camera_get_device(camera.get());

    // Gain and black level of all colour channels together, where the camera
    // has separate ones.
    if (hasEntry("GainSelector", "All")) setEnumRemembered("GainSelector", "All");
    if (hasEntry("BlackLevelSelector", "All")) setEnumRemembered("BlackLevelSelector", "All");
    // The camera's own automatic controls would undo what the FIFO writes.
    for (const char* automatic : kAutomaticControls)
        if (hasEntry(automatic, "Off")) setEnumRemembered(automatic, "Off");
    exposure = findNumeric({"ExposureTime", "ExposureTimeAbs"});
    gain = findNumeric({"Gain", "GainRaw"});
    blackLevel = findNumeric({"BlackLevel", "BlackLevelRaw"});
    if (exposure.present()) exposureSeconds = getNumber(exposure) / kMicrosecondsPerSecond;

    choosePixelFormat();
    if (options.width > 0 || options.height > 0) {
        if (available("OffsetX")) setIntegerRemembered("OffsetX", 0);
        if (available("OffsetY")) setIntegerRemembered("OffsetY", 0);
        if (options.width > 0) setIntegerRemembered("Width", options.width);
        if (options.height > 0) setIntegerRemembered("Height", options.height);
    }
    width = static_cast<long>(getInteger("Width"));
    height = static_cast<long>(getInteger("Height"));
    readTriggerModel();
    readLut();
    createStream();
}

void kcGenICamFifo::Impl::choosePixelFormat() {
    guint count = 0;
    std::unique_ptr<const char*, GFree> offered(call("listing the pixel formats", [&](GError** e) {
        return arv_camera_dup_available_pixel_formats_as_strings(camera.get(), &count, e);
    }));
    std::vector<std::string> formats;
    for (guint i = 0; i < count && offered; ++i)
        if (offered.get()[i] != nullptr) formats.emplace_back(offered.get()[i]);
    const auto offers = [&](const std::string& f) {
        return std::find(formats.begin(), formats.end(), f) != formats.end();
    };

    std::string chosen = options.pixelFormat;
    if (chosen.empty()) {
        const std::string current = getString("PixelFormat");
        if (isSupportedFormat(current)) {
            chosen = current;
        } else {
            const auto preferred = std::find_if(kPixelFormats.begin(), kPixelFormats.end(), offers);
            if (preferred == kPixelFormats.end()) {
                std::wstring list;
                for (const std::string& f : formats) list += (list.empty() ? L"" : L", ") + kfWiden(f);
                throw kcGenICamError(L"camera " + name() +
                                     L" offers none of the pixel formats RGB8, Mono8 and 8-bit Bayer (it offers " +
                                     list + L")");
            }
            chosen = *preferred;
        }
    } else if (!offers(chosen)) {
        throw kcGenICamError(L"camera " + name() + L" does not offer the pixel format " + quoted(chosen));
    }
    setEnumRemembered("PixelFormat", chosen);
    pixelFormat = chosen;
}

void kcGenICamFifo::Impl::readTriggerModel() {
    softwareTrigger = call("looking up the software trigger", [&](GError** e) {
                          return arv_camera_is_software_trigger_supported(camera.get(), e);
                      }) != FALSE;
    if (available("TriggerSource")) {
        guint count = 0;
        std::unique_ptr<const char*, GFree> sources(call("listing the trigger sources", [&](GError** e) {
            return arv_camera_dup_available_trigger_sources(camera.get(), &count, e);
        }));
        for (guint i = 0; i < count && sources && hardwareSource.empty(); ++i) {
            const std::string source = sources.get()[i] != nullptr ? sources.get()[i] : "";
            if (source.rfind("Line", 0) == 0) hardwareSource = source;
        }
    }
    // The frame-start trigger is the one that starts each image.
    if (hasEntry("TriggerSelector", "FrameStart")) setEnumRemembered("TriggerSelector", "FrameStart");
    model = &kfFreeRunTrigger();
    if (available("TriggerMode") && getString("TriggerMode") != "Off")
        model = available("TriggerSource") && getString("TriggerSource") == "Software" ? &kfManualTrigger()
                                                                                       : &kfHardwareTrigger();
}

void kcGenICamFifo::Impl::readLut() {
    std::copy(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::positive8BitLut + kc8BitInputLutProp::kLutSize,
              lut.begin());
    lutIsIdentity = true;
    if (!available("LUTIndex") || !available("LUTValue")) return;
    const NumericFeature index{"LUTIndex", true};
    const NumericFeature value{"LUTValue", true};
    const auto [indexLow, indexHigh] = bounds(index);
    const auto [valueLow, valueHigh] = bounds(value);
    // Only a table of exactly 256 8-bit entries is the FIFO's 8-bit LUT.
    cameraLut = indexLow == 0.0 && indexHigh == kLutLastIndex && valueLow == 0.0 && valueHigh == kLutLastIndex;
    if (!cameraLut) return;
    if (available("LUTEnable") && !getBoolean("LUTEnable")) return;  // a disabled table is the identity
    for (long i = 0; i <= kLutLastIndex; ++i) {
        setInteger("LUTIndex", i);
        lut[static_cast<std::size_t>(i)] = static_cast<unsigned char>(getInteger("LUTValue"));
    }
    lutIsIdentity = std::equal(lut.begin(), lut.end(), kc8BitInputLutProp::positive8BitLut);
}

void kcGenICamFifo::Impl::createStream() {
    // The packet socket listens on a network interface and misses packets
    // that a camera on this machine sends over loopback.
    const bool loopback = ARV_IS_GV_DEVICE(device) && info.address.rfind(kLoopbackPrefix, 0) == 0;
    if (loopback) {
        arv_gv_device_set_stream_options(ARV_GV_DEVICE(device), ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
        // Loopback carries large datagrams: fewer packets per frame, fewer
        // chances to lose one.
        if (available("GevSCPSPacketSize")) {
            const auto [low, high] = bounds(NumericFeature{"GevSCPSPacketSize", true});
            setIntegerRemembered("GevSCPSPacketSize", static_cast<gint64>(std::clamp(kLoopbackPacketBytes, low, high)));
        }
    }
    stream.reset(call("creating the image stream",
                      [&](GError** e) { return arv_camera_create_stream(camera.get(), nullptr, nullptr, e); }));
    if (!stream) throw kcGenICamError(L"camera " + name() + L" gave no image stream");
    const guint payload =
        call("reading the payload size", [&](GError** e) { return arv_camera_get_payload(camera.get(), e); });
    if (ARV_IS_GV_STREAM(stream.get())) {
        // The stream sizes its socket's receive buffer only when the first
        // packet of the first frame is handled. Until then the system's
        // default buffer (about 90 packets of 1400 bytes) takes the first
        // frame's burst: when the receiving thread is late, as on a busy
        // machine, the rest of the frame and its trailer are dropped, no
        // later packet reveals the gap, no resend is asked and the frame
        // times out. So the buffer is sized here, before any trigger, and
        // the stream keeps that size.
        const gint bytes = streamSocketBytes(payload);
        g_object_set(stream.get(), "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size", bytes,
                     nullptr);
        sizeUdpSocketOnPort(arv_gv_stream_get_port(ARV_GV_STREAM(stream.get())), bytes);
    }
    for (unsigned i = 0; i < kStreamBuffers; ++i)
        arv_stream_push_buffer(stream.get(), arv_buffer_new_allocate(payload));
}

void kcGenICamFifo::Impl::configureFor(const kcTriggerModel& target) {
    const bool hasTriggerMode = available("TriggerMode");
    if (&target == &kfHardwareTrigger()) {
        setEnumRemembered("TriggerMode", "On");
        setEnumRemembered("TriggerSource", hardwareSource);
        setEnumRemembered("AcquisitionMode", "Continuous");
    } else if (&target == &kfManualTrigger() && softwareTrigger) {
        setEnumRemembered("TriggerMode", "On");
        setEnumRemembered("TriggerSource", "Software");
        setEnumRemembered("AcquisitionMode", "Continuous");
    } else {
        // Free running, or manual by single frames.
        if (hasTriggerMode) setEnumRemembered("TriggerMode", "Off");
        setEnumRemembered("AcquisitionMode", &target == &kfManualTrigger() ? "SingleFrame" : "Continuous");
    }
    configuredFor = &target;
}

void kcGenICamFifo::Impl::arm() {
    if (running) return;
    if (configuredFor != model) configureFor(*model);
    // Single-frame acquisitions are started one by one by start().
    if (!(model == &kfManualTrigger() && !softwareTrigger))
        call("starting the acquisition", [&](GError** e) { arv_camera_start_acquisition(camera.get(), e); });
    running = true;
}

void kcGenICamFifo::Impl::disarm() {
    pending = 0;
    if (running) {
        running = false;
        call("stopping the acquisition", [&](GError** e) { arv_camera_stop_acquisition(camera.get(), e); });
    }
    flushOutput();
}

// Asks the camera for one more frame in place of one that came incomplete:
// another trigger, another single frame, or (free running) the next frame.
// False under the hardware model, whose triggers the FIFO does not make.
bool kcGenICamFifo::Impl::askAgain() {
    if (model == &kfHardwareTrigger()) return false;
    if (model == &kfManualTrigger()) {
        if (softwareTrigger)
            call("sending the software trigger", [&](GError** e) { arv_camera_software_trigger(camera.get(), e); });
        else
            call("starting a single frame", [&](GError** e) { arv_camera_start_acquisition(camera.get(), e); });
    }
    return true;
}

void kcGenICamFifo::Impl::flushOutput() {
    if (!stream) return;
    while (ArvBuffer* buffer = arv_stream_try_pop_buffer(stream.get())) arv_stream_push_buffer(stream.get(), buffer);
}

kcPtrHandle<kcAcqImage> kcGenICamFifo::Impl::convert(ArvBuffer* buffer, kcAcquireInfo* acqInfo) {
    const ArvBufferStatus status = arv_buffer_get_status(buffer);
    long failure = 0;
    if (status != ARV_BUFFER_STATUS_SUCCESS)
        failure = kBufferStatusFailureBase + std::max(static_cast<long>(status), 0L);

    kcPtrHandle<kcAcqImage> image;
    if (failure == 0) {
        const ArvBufferPayloadType payload = arv_buffer_get_payload_type(buffer);
        if (payload != ARV_BUFFER_PAYLOAD_TYPE_IMAGE && payload != ARV_BUFFER_PAYLOAD_TYPE_EXTENDED_CHUNK_DATA)
            throw kcGenICamError(L"camera " + name() + L" delivered a buffer without an image (payload type " +
                                 std::to_wstring(static_cast<int>(payload)) + L")");
        size_t size = 0;
        const auto* data = static_cast<const unsigned char*>(arv_buffer_get_image_data(buffer, &size));
        const ArvPixelFormat format = arv_buffer_get_image_pixel_format(buffer);
        const long width = arv_buffer_get_image_width(buffer);
        const long height = arv_buffer_get_image_height(buffer);
        gint paddingX = 0;
        gint paddingY = 0;
        arv_buffer_get_image_padding(buffer, &paddingX, &paddingY);
        const long bytesPerPel = format == ARV_PIXEL_FORMAT_RGB_8_PACKED ? 3 : 1;
        const long rowBytes = width * bytesPerPel + paddingX;
        const bool shortData = data == nullptr || width <= 0 || height <= 0 ||
                               static_cast<double>(size) < static_cast<double>(rowBytes) * (height - 1) +
                                                               static_cast<double>(width * bytesPerPel);
        if (shortData) {
            failure = kShortImageFailure;
        } else if (format == ARV_PIXEL_FORMAT_MONO_8) {
            kcPelBuffer<unsigned char> grey = kfCopyMono8(data, width, height, rowBytes);
            if (!cameraLut && !lutIsIdentity) applyLut(grey, lut);
            image = kcPtrHandle<kcAcqImage>(new kcAcqImage(grey));
        } else {
            kc3PlanePelBuffer planes;
            if (format == ARV_PIXEL_FORMAT_RGB_8_PACKED)
                planes = kfUnpackRgb8(data, width, height, rowBytes);
            else if (format == ARV_PIXEL_FORMAT_BAYER_RG_8)
                planes = kfDemosaicBayer8(data, width, height, rowBytes, keBayerRG8);
            else if (format == ARV_PIXEL_FORMAT_BAYER_GR_8)
                planes = kfDemosaicBayer8(data, width, height, rowBytes, keBayerGR8);
            else if (format == ARV_PIXEL_FORMAT_BAYER_GB_8)
                planes = kfDemosaicBayer8(data, width, height, rowBytes, keBayerGB8);
            else if (format == ARV_PIXEL_FORMAT_BAYER_BG_8)
                planes = kfDemosaicBayer8(data, width, height, rowBytes, keBayerBG8);
            else
                throw kcGenICamError(L"camera " + name() + L" delivered pixel format " +
                                     std::to_wstring(static_cast<unsigned long>(format)) +
                                     L", which is not RGB8, Mono8 or 8-bit Bayer");
            if (!cameraLut && !lutIsIdentity)
                for (int p = 0; p < 3; ++p) applyLut(planes.plane(p), lut);
            image = kcPtrHandle<kcAcqImage>(new kcAcqImage(planes));
        }
    }
    if (!image) image = kcPtrHandle<kcAcqImage>(new kcAcqImage());

    ++acquisitions;
    if (acqInfo != nullptr) {
        acqInfo->failure(kcAcqFailure(failure));
        acqInfo->acquisitionNumber(acquisitions);
        acqInfo->timeStamp(std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count());
    }
    return image;
}

void kcGenICamFifo::Impl::close() noexcept {
    // Nothing can be reported from here: every step is attempted, and a
    // camera that no longer answers is not waited for again.
    if (camera && !lost) {
        try {
            disarm();
        } catch (...) {
        }
        for (auto it = remembered.rbegin(); it != remembered.rend() && !lost; ++it) {
            if (keepAutomaticOff && isAutomaticControl(it->name)) continue;
            try {
                if (it->kind == RememberedFeature::eBoolean)
                    setBoolean(it->name, it->number != 0);
                else if (it->kind == RememberedFeature::eInteger)
                    setInteger(it->name, it->number);
                else
                    setString(it->name, it->entry);
            } catch (...) {
            }
        }
    }
    stream.reset();
    camera.reset();
}

kcGenICamFifo::kcGenICamFifo(const std::string& name, const kcGenICamFifoOptions& options)
    : impl_(std::make_unique<Impl>()) {
    if (!std::isfinite(options.timeout) || options.timeout <= 0.0)
        throw kcBadArgument(L"GenICam FIFO timeout " + number(options.timeout) + L" s is not a positive time");
    if (!options.pixelFormat.empty() && !isSupportedFormat(options.pixelFormat))
        throw kcBadArgument(L"pixel format " + quoted(options.pixelFormat) +
                            L" is not one of RGB8, Mono8, BayerRG8, BayerGR8, BayerGB8, BayerBG8");
    if (options.incompleteFrameRetries < 0)
        throw kcBadArgument(L"incomplete frame retries " + std::to_wstring(options.incompleteFrameRetries) +
                            L" is negative");
    if (options.width < 0 || options.height < 0)
        throw kcBadArgument(L"image size " + std::to_wstring(options.width) + L" x " + std::to_wstring(options.height) +
                            L" is negative");
    impl_->options = options;
    impl_->open(name);
    props_ = kcAcqProps(static_cast<kcExposureProp*>(this), static_cast<kcContrastBrightnessProp*>(this),
                        static_cast<kc8BitInputLutProp*>(this));
}

kcGenICamFifo::~kcGenICamFifo() = default;

bool kcGenICamFifo::start(unsigned long /*flags*/) {
    Impl& m = *impl_;
    m.throwIfLost();
    const bool singleFrame = m.model == &kfManualTrigger() && !m.softwareTrigger;
    if (!m.enabled || m.pending >= kMaxPending || (singleFrame && m.pending > 0)) return false;
    m.arm();
    // The image of this start is one that arrives from now on.
    if (m.pending == 0) m.flushOutput();
    if (m.model == &kfManualTrigger()) {
        if (m.softwareTrigger)
            m.call("sending the software trigger", [&](GError** e) { arv_camera_software_trigger(m.camera.get(), e); });
        else
            m.call("starting a single frame", [&](GError** e) { arv_camera_start_acquisition(m.camera.get(), e); });
    }
    ++m.pending;
    return true;
}

kcPtrHandle<kcAcqImage> kcGenICamFifo::completeAcq(const CompleteArgs& args) {
    Impl& m = *impl_;
    if (std::isnan(args.timeout) || args.timeout < 0.0)
        throw kcBadArgument(L"completion timeout " + number(args.timeout) + L" is not a waiting time");
    if (args.reserved != 0)
        throw kcBadArgument(L"reserved completion field is " + std::to_wstring(args.reserved) + L", not 0");
    m.throwIfLost();
    if (m.pending == 0) throw kcTimeout::Expired(L"no acquisition was started on camera " + m.name());
    --m.pending;

    const double wait =
        args.noWait ? 0.0 : (std::isinf(args.timeout) ? m.options.timeout + m.exposureSeconds : args.timeout);
    const double micros = std::min(wait * kMicrosecondsPerSecond, kLongestWaitMicroseconds);
    for (long retries = 0;; ++retries) {
        ArvBuffer* raw = micros < 1.0 ? arv_stream_try_pop_buffer(m.stream.get())
                                      : arv_stream_timeout_pop_buffer(m.stream.get(), static_cast<guint64>(micros));
        if (raw == nullptr)
            throw kcTimeout::Expired(L"camera " + m.name() + L" delivered no image within " + number(wait) + L" s");
        const BufferLease lease(m.stream.get(), raw);
        if (retries < m.options.incompleteFrameRetries && m.pending == 0 && isIncomplete(lease.get()) && m.askAgain())
            continue;
        return m.convert(lease.get(), args.acqInfo);
    }
}

bool kcGenICamFifo::triggerEnable() const { return impl_->enabled; }

void kcGenICamFifo::triggerEnable(bool enable) {
    impl_->throwIfLost();
    if (!enable) impl_->disarm();
    impl_->enabled = enable;
}

const kcTriggerModel& kcGenICamFifo::triggerModel() const { return *impl_->model; }

void kcGenICamFifo::triggerModel(const kcTriggerModel& model) {
    Impl& m = *impl_;
    if (&model != &kfManualTrigger() && &model != &kfFreeRunTrigger() && &model != &kfHardwareTrigger())
        throw kcBadArgument(L"trigger model " + kfWiden(model.name()) +
                            L" is not the manual, free-running or hardware model");
    if (&model == &kfHardwareTrigger() && m.hardwareSource.empty())
        throw kcPropertyNotSupported(L"camera " + m.name() + L" has no trigger line for the hardware trigger model");
    m.throwIfLost();
    if (&model == m.model) return;
    m.disarm();
    m.model = &model;
}

double kcGenICamFifo::exposure() const {
    Impl& m = *impl_;
    if (!m.exposure.present()) return 0.0;
    m.exposureSeconds = m.getNumber(m.exposure) / kMicrosecondsPerSecond;
    return m.exposureSeconds;
}

void kcGenICamFifo::exposure(double seconds) {
    Impl& m = *impl_;
    requireFinite(seconds, L"exposure");
    if (!m.exposure.present()) {
        if (seconds == 0.0) return;
        throw kcPropertyNotSupported(L"camera " + m.name() + L" has no exposure control; cannot set exposure " +
                                     number(seconds) + L" s");
    }
    m.exposureSeconds = m.setNumber(m.exposure, seconds * kMicrosecondsPerSecond) / kMicrosecondsPerSecond;
}

namespace {
void checkChannel(long channel) {
    if (channel != 0)
        throw kcBadArgument(L"channel " + std::to_wstring(channel) + L" does not exist: the camera has one tap, 0");
}
void checkTap(long tap) {
    if (tap != 0 && tap != kcContrastBrightnessProp::kAllTaps)
        throw kcBadArgument(L"tap " + std::to_wstring(tap) + L" is neither kAllTaps nor the camera's one tap, 0");
}
}  // namespace

double kcGenICamFifo::contrast(Channel channel) const {
    checkChannel(channel);
    return impl_->readUnit(impl_->gain);
}

double kcGenICamFifo::brightness(Channel channel) const {
    checkChannel(channel);
    return impl_->readUnit(impl_->blackLevel);
}

void kcGenICamFifo::setContrastEx(double value, long tap) {
    checkTap(tap);
    impl_->writeUnit(impl_->gain, value, L"contrast");
}

void kcGenICamFifo::setBrightnessEx(double value, long tap) {
    checkTap(tap);
    impl_->writeUnit(impl_->blackLevel, value, L"brightness");
}

std::vector<unsigned char> kcGenICamFifo::inputLut(LutChannel channel) const {
    if (channel != eLutChannel0)
        throw kcBadArgument(L"LUT channel " + std::to_wstring(static_cast<long>(channel)) +
                            L" does not exist: the FIFO has one LUT, channel 0");
    return std::vector<unsigned char>(impl_->lut.begin(), impl_->lut.end());
}

void kcGenICamFifo::inputLut(const unsigned char* table) {
    Impl& m = *impl_;
    if (table == nullptr) throw kcBadPointer(L"input LUT table is a null pointer");
    if (m.cameraLut) {
        // Entries and values were checked against the table's bounds on
        // opening.
        for (long i = 0; i <= kLutLastIndex; ++i) {
            m.setInteger("LUTIndex", i);
            m.setInteger("LUTValue", table[i]);
        }
        if (m.available("LUTEnable") && !m.getBoolean("LUTEnable")) {
            m.remember(RememberedFeature{"LUTEnable", RememberedFeature::eBoolean, std::string(), 0});
            m.setBoolean("LUTEnable", true);
        }
    }
    std::copy(table, table + kLutSize, m.lut.begin());
    m.lutIsIdentity = std::equal(m.lut.begin(), m.lut.end(), positive8BitLut);
}

const kcGenICamCameraInfo& kcGenICamFifo::camera() const { return impl_->info; }
const std::string& kcGenICamFifo::pixelFormat() const { return impl_->pixelFormat; }
long kcGenICamFifo::width() const { return impl_->width; }
long kcGenICamFifo::height() const { return impl_->height; }
bool kcGenICamFifo::supportsExposure() const { return impl_->exposure.present(); }
bool kcGenICamFifo::supportsContrast() const { return impl_->gain.present(); }
bool kcGenICamFifo::supportsBrightness() const { return impl_->blackLevel.present(); }
bool kcGenICamFifo::hasCameraLut() const { return impl_->cameraLut; }
bool kcGenICamFifo::isLost() const { return impl_->lost; }
void kcGenICamFifo::keepAutomaticControlsOff() { impl_->keepAutomaticOff = true; }

std::string kfGenICamFailureText(long code) {
    if (code == 0) return "no failure";
    const char* words = nullptr;
    switch (code) {
        case kcGenICamFifo::kShortImageFailure:
            words = "image data shorter than the image size and pixel format need";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase:
            words = "frame failed for a reason the stream does not know";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_CLEARED:
            words = "frame buffer cleared before it was filled";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_TIMEOUT:
            words = "frame incomplete: packets were lost or came too late";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_MISSING_PACKETS:
            words = "frame incomplete: packets were missing and not resent";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_WRONG_PACKET_ID:
            words = "frame corrupted: a packet of another frame came in";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_SIZE_MISMATCH:
            words = "frame larger than its buffer: the image size changed on the camera";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_FILLING:
            words = "frame delivered while still being filled";
            break;
        case kcGenICamFifo::kBufferStatusFailureBase + ARV_BUFFER_STATUS_ABORTED:
            words = "frame aborted: the acquisition was stopped";
            break;
        default:
            return "failure code " + std::to_string(code);
    }
    return std::string(words) + " (code " + std::to_string(code) + ")";
}
