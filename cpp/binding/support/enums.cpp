#include "binding/support/enums.hpp"

#include "binding/support/class_builder.hpp"
#include "binding/support/protocols.hpp"

namespace orbweave::py {

namespace {

const EnumValue& member_of(PyObject* self) { return value_of<EnumValue>(self); }

PyObject* enum_repr(PyObject* self) {
    const EnumValue& v = member_of(self);
    return PyUnicode_FromFormat("%s.%s", v.info->class_name, v.info->member_names[v.index]);
}

PyObject* enum_int(PyObject* self) { return PyLong_FromLong(member_of(self).index); }

PyObject* enum_richcompare(PyObject* self, PyObject* other, int op) {
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    const EnumValue& v = member_of(self);
    bool equal;
    if (Py_TYPE(other) == Py_TYPE(self)) {
        equal = member_of(other).index == v.index;
    } else if (PyLong_Check(other)) {
        int overflow = 0;
        const long long number = PyLong_AsLongLongAndOverflow(other, &overflow);
        if (number == -1 && PyErr_Occurred()) return nullptr;
        equal = overflow == 0 && number == v.index;
    } else {
        Py_RETURN_NOTIMPLEMENTED;
    }
    return PyBool_FromLong(equal == (op == Py_EQ));
}

// Depends only on the member: SipHash-1-3 of its value as an 8-byte little-endian
// integer, not the hash of that integer.
Py_hash_t enum_hash(PyObject* self) {
    SipHasher13 hasher;
    hasher.write_u64(member_of(self).index);
    return to_python_hash(hasher.finish());
}

// A member pickles as its qualified name, which the unpickler looks up in the
// module, so that it comes back as the very same member.
PyObject* enum_reduce(PyObject* self, PyObject* const*, Py_ssize_t nargs, PyObject* kwnames) {
    if (nargs != 0 || (kwnames && PyTuple_Size(kwnames) != 0)) {
        raise(PyExc_TypeError, "__reduce__() takes no arguments");
        return nullptr;
    }
    return enum_repr(self);  // "Class.Member", the qualified name
}

}  // namespace

PyObject* build_enum_type(EnumInfo& info, const char* doc) {
    ClassBuilder builder(info.class_name, static_cast<int>(sizeof(Boxed<EnumValue>)), &dealloc_instance<EnumValue>,
                         doc);
    builder.slot(Py_tp_repr, reinterpret_cast<void*>(&enum_repr))
        .slot(Py_nb_int, reinterpret_cast<void*>(&enum_int))
        .slot(Py_tp_richcompare, reinterpret_cast<void*>(&enum_richcompare))
        .slot(Py_tp_hash, reinterpret_cast<void*>(&enum_hash))
        .method("__reduce__", &enum_reduce, "__reduce__($self)\n--\n\nHelper for pickle.");
    PyObject* type = builder.build();
    if (!type) return nullptr;
    for (size_t i = 0; i < info.member_names.size(); ++i) {
        PyObject* member = guarded<PyObject*>(nullptr, [&] {
            return new_instance<EnumValue>(type, EnumValue{&info, static_cast<uint8_t>(i)});
        });
        if (!set_class_attribute(type, info.class_name, info.member_names[i], member)) {
            Py_XDECREF(member);
            return nullptr;
        }
        info.members.push_back(member);
    }
    info.type = type;
    return type;
}

PyObject* enum_member(const EnumInfo& info, uint8_t index) {
    PyObject* member = info.members.at(index);
    Py_INCREF(member);
    return member;
}

bool to_enum_index(PyObject* value, const EnumInfo& info, uint8_t& out) {
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != info.type) return wrong_type(value, info.class_name);
    out = member_of(value).index;
    return true;
}

}  // namespace orbweave::py
