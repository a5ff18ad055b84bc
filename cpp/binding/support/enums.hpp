#pragma once
// Enumeration classes: members are the only instances, published as class attributes
// in declaration order. repr is "Class.Member", int() the declaration index, and a
// member equals itself and the integer of its index.
#include <Python.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orbweave::py {

struct EnumInfo {
    const char* class_name;
    std::vector<const char*> member_names;
    std::vector<PyObject*> members;  // owned for the life of the process
    PyObject* type = nullptr;
};

struct EnumValue {
    const EnumInfo* info;
    uint8_t index;
};

// Builds the class and its members. `info` must live for the life of the process.
PyObject* build_enum_type(EnumInfo& info, const char* doc);

// The member with `index` (a new reference).
PyObject* enum_member(const EnumInfo& info, uint8_t index);

// A member of exactly the enumeration `info` -> its index; otherwise the wrong-type
// TypeError naming the class.
bool to_enum_index(PyObject* value, const EnumInfo& info, uint8_t& out);

}  // namespace orbweave::py
