#pragma once
// Declaring a Python class: ClassDef<V> is a ClassBuilder for the class of the C++
// value V, and every member is one declaration on it.
//
//     .method<"observe_at", "t, observer", &observe_at>("Calculate the observation ...")
//
// names the method, lists its parameters as the text signature shows them
// ("*" marks keyword-only, "/" positional-only, "=default" optional), and gives the
// C++ function that implements it: `R f(const V& self, A1, A2, ...)`. From that one
// declaration come the wrapper (bind the call with the interpreter's own messages,
// convert each argument by its C++ type, call, convert the result by its type, turn
// C++ failures into Python exceptions), the `__text_signature__` (the documentation
// begins "observe_at($self, t, observer)\n--\n\n"), and a compile-time check that
// the list names as many parameters as the function takes. An optional argument
// that is absent keeps its C++ value-initialised default (std::optional for "None
// means the library's default").
#include <Python.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/support/binder.hpp"
#include "binding/support/class_builder.hpp"
#include "binding/support/errors.hpp"
#include "binding/support/protocols.hpp"
#include "binding/support/python_class.hpp"

namespace orbweave::py {

// A string literal as a template argument.
template <size_t N>
struct FixedString {
    char text[N]{};
    consteval FixedString(const char (&literal)[N]) {
        for (size_t i = 0; i < N; ++i) text[i] = literal[i];
    }
    constexpr std::string_view view() const { return {text, N - 1}; }
};

// ---------------------------------------------------------------- parameter lists

inline constexpr size_t kMaxParams = 24;

struct ParamList {
    std::array<std::string_view, kMaxParams> names{};
    std::array<bool, kMaxParams> required{};
    size_t count = 0;
    size_t positional_only = 0;
    size_t keyword_only_from = SIZE_MAX;
};

consteval std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// "a, b=None, *, c=0.0" -> names a, b, c; b and c optional; c keyword-only.
consteval ParamList parse_params(std::string_view text) {
    ParamList list;
    while (!trimmed(text).empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = trimmed(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item == "*") {
            list.keyword_only_from = list.count;
        } else if (item == "/") {
            list.positional_only = list.count;
        } else {
            if (list.count == kMaxParams) throw "too many parameters";
            const size_t equals = item.find('=');
            list.names[list.count] = trimmed(item.substr(0, equals));
            list.required[list.count] = equals == std::string_view::npos;
            ++list.count;
        }
    }
    return list;
}

template <FixedString Params>
Signature signature_of(std::string callable) {
    constexpr ParamList list = parse_params(Params.view());
    std::vector<Param> params;
    for (size_t i = 0; i < list.count; ++i) params.push_back({std::string(list.names[i]), list.required[i]});
    return Signature(std::move(callable), std::move(params), list.positional_only, list.keyword_only_from);
}

// "<name>(<first><, params>)\n--\n\n<doc>": the interpreter reads the text signature
// from the documentation's first line.
std::string signed_doc(std::string_view name, std::string_view first, std::string_view params, std::string_view doc);

// ---------------------------------------------------------------- functions

template <class F>
struct FunctionOf;
template <class R, class... A>
struct FunctionOf<R (*)(A...)> {
    using Result = R;
    using Args = std::tuple<std::remove_cvref_t<A>...>;
};

// A function pointer, or a lambda without captures as one.
template <auto Impl>
using ImplOf = FunctionOf<decltype(+Impl)>;

// The arguments after `self`.
template <class Tuple>
struct Rest;
template <class First, class... Others>
struct Rest<std::tuple<First, Others...>> {
    using Type = std::tuple<Others...>;
    using Self = First;
};

// Binds a call and converts each given argument into its slot of `values`, in
// parameter order; a failed conversion carries the note naming its argument.
template <class Tuple, class Call>
bool bind_arguments(const Signature& signature, const Call& call, Tuple& values) {
    constexpr size_t count = std::tuple_size_v<Tuple>;
    std::array<PyObject*, count> slots{};
    if (!signature.bind(call, std::span<PyObject*>(slots.data(), count))) return false;
    const auto convert = [&](size_t index, auto& out) {
        if (!slots[index] || from_python(slots[index], out)) return true;
        add_argument_note(signature.name(index));
        return false;
    };
    return [&]<size_t... I>(std::index_sequence<I...>) {
        return (convert(I, std::get<I>(values)) && ...);
    }(std::make_index_sequence<count>{});
}

template <class Result>
PyObject* result_to_python(Result&& result) {
    if constexpr (std::is_void_v<std::remove_cvref_t<Result>>)
        Py_RETURN_NONE;
    else
        return to_python(std::forward<Result>(result));
}

template <class V, FixedString Name, FixedString Params, auto Impl, bool Static>
PyObject* call_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        using All = typename ImplOf<Impl>::Args;
        using Values = std::conditional_t<Static, All, typename Rest<All>::Type>;
        static const Signature signature =
            signature_of<Params>(std::string(PyClass<V>::name) + "." + std::string(Name.view()) + "()");
        Values values{};
        if (!bind_arguments(signature, FastCall{args, nargs, kwnames}, values)) return nullptr;
        if constexpr (Static)
            return result_to_python(std::apply([](auto&... a) { return Impl(std::move(a)...); }, values));
        else
            return result_to_python(
                std::apply([&](auto&... a) { return Impl(value_of<V>(self), std::move(a)...); }, values));
    });
}

template <class V, FixedString Params, auto Impl>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature = signature_of<Params>(std::string(PyClass<V>::name) + "()");
        typename ImplOf<Impl>::Args values{};
        if (!bind_arguments(signature, TupleCall{args, kwargs}, values)) return nullptr;
        auto made = std::apply([](auto&... a) { return Impl(std::move(a)...); }, values);
        if constexpr (std::is_same_v<decltype(made), V>) {
            return new_instance<V>(reinterpret_cast<PyObject*>(type), std::move(made));
        } else {
            if (!made) return raise_core_error(made.error());
            return new_instance<V>(reinterpret_cast<PyObject*>(type), std::move(*made));
        }
    });
}

// ---------------------------------------------------------------- accessors

template <class V, auto Get>
PyObject* get_property(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] { return to_python(std::invoke(Get, value_of<V>(self))); });
}

template <class V, auto Member>
int set_property(PyObject* self, PyObject* value, void*) {
    return guarded<int>(-1, [&] {
        if (!value) {
            raise(PyExc_TypeError, std::string("cannot delete a ") + PyClass<V>::name + " setting");
            return -1;
        }
        std::remove_cvref_t<decltype(value_of<V>(self).*Member)> converted{};
        if (!from_python(value, converted)) return -1;
        value_of<V>(self).*Member = std::move(converted);
        return 0;
    });
}

// __next__: the next item, a Python exception for a core error, or the end.
template <class V, auto Next>
PyObject* next_item(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        auto item = std::invoke(Next, value_of<V>(self));
        if (!item) return raise_core_error(item.error());
        if (!*item) return nullptr;  // done: StopIteration
        return to_python(std::move(**item));
    });
}

template <class V, auto Repr>
PyObject* repr_of(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&] { return from_text(Repr(value_of<V>(self))); });
}

template <class V, auto HashFields>
Py_hash_t hash_of(PyObject* self) {
    SipHasher13 hasher;
    HashFields(hasher, value_of<V>(self));
    return to_python_hash(hasher.finish());
}

// ---------------------------------------------------------------- pickling

// The private class method that rebuilds a pickled value.
inline constexpr const char* kUnpickleName = "_unpickle";

// `_unpickle`: bound and converted like every method, so a payload of wrong types or
// length is a TypeError; a number beyond its field is a ValueError here, as every
// other value that the checks refuse.
template <class V, FixedString Params, auto Restore>
PyObject* call_unpickle(PyObject* type, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* made = call_method<V, "_unpickle", Params, Restore, true>(type, args, nargs, kwnames);
    if (!made) overflow_as_value_error();
    return made;
}

// __reduce__: (the class's `_unpickle`, State(value)).
template <class V, auto State>
PyObject* reduce_value(const V& value) {
    PyObject* type = type_of<V>();
    if (!type) return nullptr;
    Ref unpickle = Ref::steal(PyObject_GetAttrString(type, kUnpickleName));
    Ref state = unpickle ? Ref::steal(to_python(State(value))) : Ref();
    return state ? PyTuple_Pack(2, unpickle.get(), state.get()) : nullptr;
}

// ---------------------------------------------------------------- the builder

template <PythonClass V>
class ClassDef : public ClassBuilder {
public:
    explicit ClassDef(std::string doc)
        : ClassBuilder(PyClass<V>::name, static_cast<int>(sizeof(Boxed<V>)), &dealloc_instance<V>, std::move(doc)) {}

    // `Impl`: V or std::expected<V, CoreError> from the converted arguments.
    template <FixedString Params, auto Impl>
    ClassDef& constructor() {
        using Args = typename ImplOf<Impl>::Args;
        static_assert(parse_params(Params.view()).count == std::tuple_size_v<Args>,
                      "the parameter list and the constructor's arguments differ in number");
        static_assert(std::is_same_v<typename WithoutError<typename ImplOf<Impl>::Result>::Type, V>);
        ClassBuilder::constructor(std::string(PyClass<V>::name) + "(" + std::string(Params.view()) + ")",
                                  &construct<V, Params, Impl>);
        return *this;
    }

    // `Impl`: R f(const V& self, arguments...).
    template <FixedString Name, FixedString Params, auto Impl>
    ClassDef& method(std::string_view doc) {
        using Args = typename ImplOf<Impl>::Args;
        static_assert(std::is_same_v<typename Rest<Args>::Self, V>, "a method's first argument is its class's value");
        static_assert(parse_params(Params.view()).count + 1 == std::tuple_size_v<Args>,
                      "the parameter list and the method's arguments differ in number");
        ClassBuilder::method(Name.text, &call_method<V, Name, Params, Impl, false>,
                             signed_doc(Name.view(), "$self", Params.view(), doc));
        return *this;
    }

    // Also reachable through an instance. `Impl`: R f(arguments...).
    template <FixedString Name, FixedString Params, auto Impl>
    ClassDef& static_method(std::string_view doc) {
        static_assert(parse_params(Params.view()).count ==
                          std::tuple_size_v<typename ImplOf<Impl>::Args>,
                      "the parameter list and the method's arguments differ in number");
        ClassBuilder::method(Name.text, &call_method<V, Name, Params, Impl, true>,
                             signed_doc(Name.view(), "", Params.view(), doc), METH_STATIC);
        return *this;
    }

    // Pickling and copying. `State`: std::tuple<...> f(const V&), every field that
    // makes the value, exactly; `Restore`: V or std::expected<V, CoreError> from
    // those fields (parameters `Params`), checking them as the constructor checks its
    // arguments, so that no payload builds a value that the class cannot hold.
    template <FixedString Params, auto Restore, auto State>
    ClassDef& pickled() {
        using Fields = decltype(State(std::declval<const V&>()));
        static_assert(parse_params(Params.view()).count == std::tuple_size_v<typename ImplOf<Restore>::Args>,
                      "the parameter list and the restoring function's arguments differ in number");
        static_assert(std::tuple_size_v<Fields> == std::tuple_size_v<typename ImplOf<Restore>::Args>,
                      "the state and the restoring function's arguments differ in number");
        static_assert(std::is_same_v<typename WithoutError<typename ImplOf<Restore>::Result>::Type, V>);
        constexpr const char* doc = "Rebuild a pickled value from its fields, refusing any that the class cannot hold.";
        ClassBuilder::method(kUnpickleName, &call_unpickle<V, Params, Restore>,
                             signed_doc(kUnpickleName, "$type", Params.view(), doc), METH_CLASS);
        return method<"__reduce__", "", &reduce_value<V, State>>("Helper for pickle.");
    }

    // `Get`: a data member of V, or R f(const V&).
    template <auto Get>
    ClassDef& property(const char* name, const char* doc = nullptr) {
        ClassBuilder::property(name, &get_property<V, Get>, doc);
        return *this;
    }

    // A data member of V that can be assigned too (deleting it is refused).
    template <auto Member>
    ClassDef& settable(const char* name, const char* doc) {
        ClassBuilder::property(name, &get_property<V, Member>, &set_property<V, Member>, doc);
        return *this;
    }

    // `Next`: std::expected<std::optional<T>, CoreError> f(V&), or a member function.
    template <auto Next>
    ClassDef& iterator() {
        with_iterator(*this, &next_item<V, Next>);
        return *this;
    }

    // `Repr`: std::string f(const V&).
    template <auto Repr>
    ClassDef& repr() {
        slot(Py_tp_repr, reinterpret_cast<void*>(&repr_of<V, Repr>));
        return *this;
    }

    // == and != by V's operator== (NotImplemented for anything else).
    ClassDef& equality() {
        with_equality<V>(*this);
        return *this;
    }

    // A hash stable across processes; `HashFields`: void f(SipHasher13&, const V&),
    // over the fields equality compares.
    template <auto HashFields>
    ClassDef& hash() {
        slot(Py_tp_hash, reinterpret_cast<void*>(&hash_of<V, HashFields>));
        return *this;
    }
};

}  // namespace orbweave::py
