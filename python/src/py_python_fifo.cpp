// python/src/py_python_fifo.cpp
#include "py_python_fifo.h"

#include <cmath>
#include <utility>

#include "py_images.h"
#include "py_interrupt.h"
#include "toolkit/acq/acq_props.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/exceptions.h"

namespace {
std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring numberText(double value) { return widen(py::repr(py::float_(value))); }

// The bound method `name` of `camera`, or None when the camera has none.
py::object method(const py::object& camera, const char* name) {
    py::object found = py::getattr(camera, name, py::none());
    if (!found.is_none() && !PyCallable_Check(found.ptr()))
        throw py::type_error(std::string(py::str(py::type::handle_of(camera).attr("__name__"))) + "." + name +
                             " is not callable");
    return found;
}

// The entry of a LUT a camera returned, 0 to 255.
unsigned char lutEntry(const py::handle& item, const std::string& where) {
    PyObject* index = PyNumber_Index(item.ptr());
    if (index == nullptr) {
        PyErr_Clear();
        throw py::type_error(where + " must hold integers, not " +
                             std::string(py::str(py::type::handle_of(item).attr("__name__"))));
    }
    const long value = PyLong_AsLong(index);
    Py_DECREF(index);
    if (PyErr_Occurred()) PyErr_Clear();
    if (value < 0 || value > 255) throw py::value_error(where + " holds " + std::to_string(value) + ", not 0..255");
    return static_cast<unsigned char>(value);
}

void applyLut(kcPelBuffer<unsigned char> plane, const std::array<unsigned char, kc8BitInputLutProp::kLutSize>& lut) {
    const kcPelRect& window = plane.window();
    for (long y = window.top(); y < window.bottom(); ++y) {
        unsigned char* row = plane.pointToRow(y);
        for (long x = 0; x < plane.width(); ++x) row[x] = lut[row[x]];
    }
}

bool isIdentity(const std::array<unsigned char, kc8BitInputLutProp::kLutSize>& lut) {
    for (std::size_t i = 0; i < lut.size(); ++i)
        if (lut[i] != i) return false;
    return true;
}
}  // namespace

std::vector<unsigned char> kfLutFromPython(const py::handle& table, const std::string& where) {
    if (!PySequence_Check(table.ptr()))
        throw py::type_error(where + " must be a sequence of 256 integers, not " +
                             std::string(py::str(py::type::handle_of(table).attr("__name__"))));
    const auto entries = py::reinterpret_borrow<py::sequence>(table);
    if (entries.size() != kc8BitInputLutProp::kLutSize)
        throw py::value_error(where + " has " + std::to_string(entries.size()) + " entries, not 256");
    std::vector<unsigned char> lut(kc8BitInputLutProp::kLutSize);
    for (std::size_t i = 0; i < lut.size(); ++i) lut[i] = lutEntry(entries[i], where);
    return lut;
}

struct kcPythonCameraFifo::Methods {
    py::object getExposure, setExposure;
    py::object getContrast, setContrast;
    py::object getBrightness, setBrightness;
    py::object getLut, setLut;
    py::object grab;
    py::object timeoutError;  // what grab() raised on the last timeout
};

kcPythonCameraFifo::kcPythonCameraFifo(const py::object& camera)
    : methods_(std::make_unique<Methods>()),
      className_(py::str(py::type::handle_of(camera).attr("__name__"))),
      triggerModel_(&kfManualTrigger()),
      ownLut_() {
    for (std::size_t i = 0; i < ownLut_.size(); ++i) ownLut_[i] = static_cast<unsigned char>(i);
    Methods& m = *methods_;
    // Looks up a getter and setter pair; true when both are there.
    auto pair = [&](const char* setting, py::object& getter, py::object& setter) {
        const std::string get = std::string("get_") + setting;
        const std::string set = std::string("set_") + setting;
        getter = method(camera, get.c_str());
        setter = method(camera, set.c_str());
        if (getter.is_none() != setter.is_none())
            throw py::type_error(className_ + " defines " + (getter.is_none() ? set : get) + "() but not " +
                                 (getter.is_none() ? get : set) + "(); define both or neither");
        return !getter.is_none();
    };
    axes_.exposure = pair("exposure", m.getExposure, m.setExposure);
    axes_.contrast = pair("contrast", m.getContrast, m.setContrast);
    axes_.brightness = pair("brightness", m.getBrightness, m.setBrightness);
    pair("lut", m.getLut, m.setLut);
    m.grab = method(camera, "grab");
    if (m.grab.is_none()) throw py::type_error(className_ + " defines no grab() method");
}

kcPythonCameraFifo::~kcPythonCameraFifo() {
    py::gil_scoped_acquire gil;
    methods_.reset();
}

py::object kcPythonCameraFifo::takeTimeoutError() { return std::exchange(methods_->timeoutError, py::object()); }

double kcPythonCameraFifo::read(const py::object& getter, const char* name) const {
    if (getter.is_none()) return 0.0;
    py::gil_scoped_acquire gil;
    const py::object value = getter();
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::type_error(className_ + "." + name + "() must return a number, not " +
                             std::string(py::str(py::type::handle_of(value).attr("__name__"))));
    }
    return number;
}

void kcPythonCameraFifo::write(const py::object& setter, const char* name, double value) {
    if (setter.is_none()) {
        // A camera without the setting stays at 0, the value it reads.
        if (value == 0.0) return;
        throw kcPropertyNotSupported(widen(className_) + L" has no " + widen(name) +
                                     L"() method, so it cannot be set to " + numberText(value));
    }
    py::gil_scoped_acquire gil;
    setter(value);
}

void kcPythonCameraFifo::checkChannel(long channel) const {
    if (channel != eChannel0)
        throw kcBadArgument(L"channel " + std::to_wstring(channel) + L" does not exist: " + widen(className_) +
                            L" has one tap, channel 0");
}

void kcPythonCameraFifo::checkTap(long tap) const {
    if (tap != kAllTaps && tap != eChannel0)
        throw kcBadArgument(L"tap " + std::to_wstring(tap) + L" is neither kAllTaps nor 0: " + widen(className_) +
                            L" has one tap");
}

double kcPythonCameraFifo::exposure() const { return read(methods_->getExposure, "get_exposure"); }
void kcPythonCameraFifo::exposure(double seconds) { write(methods_->setExposure, "set_exposure", seconds); }

double kcPythonCameraFifo::contrast(Channel channel) const {
    checkChannel(channel);
    return read(methods_->getContrast, "get_contrast");
}

double kcPythonCameraFifo::brightness(Channel channel) const {
    checkChannel(channel);
    return read(methods_->getBrightness, "get_brightness");
}

void kcPythonCameraFifo::setContrastEx(double value, long tap) {
    checkTap(tap);
    write(methods_->setContrast, "set_contrast", value);
}

void kcPythonCameraFifo::setBrightnessEx(double value, long tap) {
    checkTap(tap);
    write(methods_->setBrightness, "set_brightness", value);
}

std::vector<unsigned char> kcPythonCameraFifo::inputLut(LutChannel channel) const {
    if (channel != eLutChannel0)
        throw kcBadArgument(L"LUT channel " + std::to_wstring(static_cast<long>(channel)) + L" does not exist: " +
                            widen(className_) + L" has one LUT, channel 0");
    if (methods_->getLut.is_none()) return std::vector<unsigned char>(ownLut_.begin(), ownLut_.end());
    py::gil_scoped_acquire gil;
    return kfLutFromPython(methods_->getLut(), className_ + ".get_lut() result");
}

void kcPythonCameraFifo::inputLut(const unsigned char* table) {
    if (table == nullptr) throw kcBadPointer(L"input LUT table is a null pointer");
    if (methods_->setLut.is_none()) {
        std::copy(table, table + kLutSize, ownLut_.begin());
        return;
    }
    py::gil_scoped_acquire gil;
    py::array_t<unsigned char> copy(kLutSize);
    std::copy(table, table + kLutSize, copy.mutable_data());
    methods_->setLut(copy);
}

bool kcPythonCameraFifo::start(unsigned long /*flags*/) {
    if (pending_ >= kMaxPending) return false;
    ++pending_;
    return true;
}

kcPtrHandle<kcAcqImage> kcPythonCameraFifo::completeAcq(const CompleteArgs& args) {
    if (!(args.timeout >= 0.0))
        throw kcBadArgument(L"completion timeout " + numberText(args.timeout) + L" is negative or not a number");
    if (pending_ == 0) throw kcTimeout::Expired(L"no acquisition was started on " + widen(className_));
    if (!triggerEnable_) throw kcTimeout::Expired(L"triggering of " + widen(className_) + L" is disabled");
    if (triggerModel_ == &kfHardwareTrigger())
        throw kcTimeout::Expired(widen(className_) + L" has no hardware trigger line");
    --pending_;

    py::gil_scoped_acquire gil;
    py::object delivered;
    try {
        const kcInterruptibleCall interruptible;
        delivered = methods_->grab();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_TimeoutError)) throw;
        methods_->timeoutError = e.value();
        throw kcTimeout::Expired(widen(className_) + L".grab() timed out: " + widen(py::str(e.value())));
    }
    ++acquisitions_;
    if (args.acqInfo != nullptr) {
        kcAcquireInfo info;
        info.acquisitionNumber(acquisitions_);
        info.timeStamp(std::chrono::duration<double>(std::chrono::steady_clock::now() - created_).count());
        *args.acqInfo = info;
    }
    if (delivered.is_none()) return kcPtrHandle<kcAcqImage>(new kcAcqImage());
    kcPtrHandle<kcAcqImage> image = kfImageFromArray(delivered, className_ + ".grab() result");
    if (methods_->setLut.is_none() && !isIdentity(ownLut_)) {
        if (image->format() == eImageFormatGrey8) {
            applyLut(image->getGrey8PelBuffer(), ownLut_);
        } else {
            kc3PlanePelBuffer planes = image->get3PlanePelBuffer();
            applyLut(planes.plane0(), ownLut_);
            applyLut(planes.plane1(), ownLut_);
            applyLut(planes.plane2(), ownLut_);
        }
    }
    return image;
}
