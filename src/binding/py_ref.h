// Object references. A raw PyObject* is a borrowed view; ObjectRef is the
// move-only owner of one strong reference. Every new reference from the C
// API is wrapped at once, and release() is the only way back to C.
#pragma once

#include <Python.h>

#include <utility>

namespace ostrel {

class ObjectRef {
public:
    ObjectRef() noexcept = default;

    // Takes over a new reference (null stays null).
    static ObjectRef steal(PyObject* object) noexcept { return ObjectRef(object); }

    // Adds a reference to a borrowed object.
    static ObjectRef borrow(PyObject* object) noexcept {
        Py_XINCREF(object);
        return ObjectRef(object);
    }

    ObjectRef(ObjectRef&& other) noexcept : object_(other.release()) {}
    ObjectRef& operator=(ObjectRef&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ObjectRef(const ObjectRef&) = delete;
    ObjectRef& operator=(const ObjectRef&) = delete;
    ~ObjectRef() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }

    void reset(PyObject* object = nullptr) noexcept {
        // Clear the field before the release can run Python code.
        PyObject* old = std::exchange(object_, object);
        Py_XDECREF(old);
    }

private:
    explicit ObjectRef(PyObject* object) noexcept : object_(object) {}

    PyObject* object_ = nullptr;
};

}  // namespace ostrel
