#include "binding/support/class_builder.hpp"

namespace orbweave::py {

ClassBuilder::ClassBuilder(const char* name, int basic_size, destructor dealloc, std::string doc)
    : name_(name), qualified_name_(std::string(kModuleName) + "." + name), doc_(std::move(doc)),
      basic_size_(basic_size) {
    slots_.push_back({Py_tp_dealloc, reinterpret_cast<void*>(dealloc)});
}

ClassBuilder& ClassBuilder::constructor(const std::string& text_signature, newfunc make) {
    // The interpreter derives __text_signature__ from "<name>(...)\n--\n\n".
    doc_ = text_signature + "\n--\n\n" + doc_;
    flags_ &= ~static_cast<unsigned>(Py_TPFLAGS_DISALLOW_INSTANTIATION);
    slots_.push_back({Py_tp_new, reinterpret_cast<void*>(make)});
    return *this;
}

ClassBuilder& ClassBuilder::property(const char* name, getter get, const char* doc) {
    properties_.push_back({name, get, nullptr, doc, nullptr});
    return *this;
}

ClassBuilder& ClassBuilder::property(const char* name, getter get, setter set, const char* doc) {
    properties_.push_back({name, get, set, doc, nullptr});
    return *this;
}

ClassBuilder& ClassBuilder::method(const char* name, FastMethod function, std::string doc, int extra_flags) {
    method_docs_.push_back(std::move(doc));
    methods_.push_back({name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function)),
                        METH_FASTCALL | METH_KEYWORDS | extra_flags, nullptr});
    return *this;
}

ClassBuilder& ClassBuilder::slot(int id, void* function) {
    slots_.push_back({id, function});
    return *this;
}

void raise_wrapped(const std::string& message, PyObject* wrapper) {
    PyObject *type = nullptr, *cause = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &cause, &traceback);
    PyErr_NormalizeException(&type, &cause, &traceback);
    if (cause && traceback) PyException_SetTraceback(cause, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    Ref text = Ref::steal(PyUnicode_FromString(message.c_str()));
    Ref error = text ? Ref::steal(PyObject_CallFunctionObjArgs(wrapper, text.get(), nullptr)) : Ref();
    if (!error) {
        Py_XDECREF(cause);
        return;
    }
    if (cause) PyException_SetCause(error.get(), cause);  // steals `cause`
    PyErr_SetObject(wrapper, error.get());
}

void overflow_as_value_error() {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return;
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref text = Ref::steal(value ? PyObject_Str(value) : nullptr);
    Py_ssize_t size = 0;
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
    const std::string message = utf8 ? std::string(utf8, static_cast<size_t>(size)) : std::string("out of range");
    // The argument note, if any, stays readable on the new error.
    Ref found = Ref::steal(value ? PyObject_GetAttrString(value, "__notes__") : nullptr);
    Ref notes = found ? Ref::steal(PySequence_List(found.get())) : Ref();
    PyErr_Clear();  // a failure of str() leaves the fixed text; no notes, none to copy
    PyErr_Restore(type, value, traceback);
    raise_wrapped(message, PyExc_ValueError);
    if (!notes) return;
    PyErr_Fetch(&type, &value, &traceback);
    if (value && PyObject_SetAttrString(value, "__notes__", notes.get()) < 0) PyErr_Clear();
    PyErr_Restore(type, value, traceback);
}

PyObject* ClassBuilder::build() {
    // The type keeps pointers into these tables for its whole life (types are never
    // freed), so they move to storage that lives as long.
    auto* storage = new ClassBuilder(std::move(*this));
    for (size_t i = 0; i < storage->methods_.size(); ++i) storage->methods_[i].ml_doc = storage->method_docs_[i].c_str();
    storage->properties_.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    storage->methods_.push_back({nullptr, nullptr, 0, nullptr});
    storage->slots_.push_back({Py_tp_doc, const_cast<char*>(storage->doc_.c_str())});
    storage->slots_.push_back({Py_tp_getset, storage->properties_.data()});
    storage->slots_.push_back({Py_tp_methods, storage->methods_.data()});
    storage->slots_.push_back({0, nullptr});
    static std::vector<PyType_Spec*> specs;  // kept alive with the types
    auto* spec = new PyType_Spec{storage->qualified_name_.c_str(), storage->basic_size_, 0, storage->flags_,
                                 storage->slots_.data()};
    specs.push_back(spec);
    PyObject* type = PyType_FromSpec(spec);
    if (!type) raise_wrapped(std::string("An error occurred while initializing class ") + storage->name_);
    return type;
}

bool set_class_attribute(PyObject* type, const char* class_name, const char* attribute, PyObject* value) {
    if (!value) {
        raise_wrapped(std::string("An error occurred while initializing `") + class_name + "." + attribute + "`");
        return false;
    }
    if (PyObject_SetAttrString(type, attribute, value) < 0) {
        raise_wrapped(std::string("An error occurred while initializing `") + class_name + ".__dict__`");
        return false;
    }
    return true;
}

}  // namespace orbweave::py
