#ifndef PYKEZUQXCOMPAT_H
#define PYKEZUQXCOMPAT_H

// The module is written against the Python 2 C API; this header supplies the few Python 2
// functions it uses on top of the Python 3 API, so the same sources build for Python 3.
#include <Python.h>

#include <cstring>

// Python 3 creates the interpreter lock at start-up, so there is nothing left to create (and
// the Python 3 function is deprecated).
#define PyEval_InitThreads() ((void)0)

inline PyObject *PyInt_FromLong(long value) { return PyLong_FromLong(value); }
inline bool PyInt_Check(PyObject *object) { return PyLong_Check(object); }
inline long PyInt_AsLong(PyObject *object) { return PyLong_AsLong(object); }

// A Python 2 string held any bytes; text that is not UTF-8 becomes replacement characters
// instead of failing, so building a result never fails on the controller's bytes.
inline PyObject *PyString_FromStringAndSize(const char *text, Py_ssize_t size) {
    return PyUnicode_DecodeUTF8(text, size, "replace");
}
inline PyObject *PyString_FromString(const char *text) {
    return PyString_FromStringAndSize(text, static_cast<Py_ssize_t>(std::strlen(text)));
}
inline bool PyString_Check(PyObject *object) { return PyUnicode_Check(object); }

// The module that the last Py_InitModule4 made. Python 2 kept it in sys.modules by itself;
// Python 3 wants it returned from the PyInit_ function, which takes it from here.
inline PyObject *&pycompat_initialised_module() {
    static PyObject *module = nullptr;
    return module;
}

// Python 2's module registration. Returns a borrowed reference as Python 2 did; the module's
// own reference waits in pycompat_initialised_module for the PyInit_ function. Module
// functions receive the module as `self` in Python 3, where Python 2 passed `self` (null).
inline PyObject *Py_InitModule4(const char *name, PyMethodDef *methods, const char *doc,
                                PyObject * /*self*/, int apiver) {
    static PyModuleDef definition = {
        PyModuleDef_HEAD_INIT, nullptr, nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr};
    definition.m_name = name;
    definition.m_doc = doc;
    definition.m_methods = methods;
    PyObject *module = PyModule_Create2(&definition, apiver);
    Py_XDECREF(pycompat_initialised_module());
    pycompat_initialised_module() = module;
    return module;
}

// Hands the module made by Py_InitModule4 to the interpreter (a new reference), or null
// with the Python error that creating it set.
inline PyObject *pycompat_take_initialised_module() {
    PyObject *module = pycompat_initialised_module();
    pycompat_initialised_module() = nullptr;
    return module;
}

#endif
