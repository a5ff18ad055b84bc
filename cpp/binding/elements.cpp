#include "binding/elements.hpp"

#include <array>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/enums.hpp"
#include "binding/protocols.hpp"
#include "sgp4/omm_reader.hpp"
#include "time/text.hpp"
#include "util/text_escape.hpp"

namespace orbweave::py {

namespace {

using sgp4::ElementRecord;

EnumInfo classification_info{"Classification", {"Unclassified", "Classified", "Secret"}, {}};

constexpr const char* kClassificationDoc = "Satellite classification type (CLASSIFICATION_TYPE field in OMM).";

constexpr const char* kElementsDoc =
    "Orbital elements for a satellite.\n"
    "\n"
    "Holds the data needed to initialise an SGP4 propagator.  Can be constructed\n"
    "field-by-field or parsed directly from an OMM JSON string.\n"
    "\n"
    "Example — from a Celestrak OMM JSON response::\n"
    "\n"
    "    import json, urllib.request\n"
    "    url = \"https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=json\"\n"
    "    omm = json.load(urllib.request.urlopen(url))\n"
    "    elements = Elements.from_dict(omm[0])\n"
    "    predictor = Predictor(elements)\n"
    "\n"
    "Example — field by field::\n"
    "\n"
    "    from datetime import datetime, timezone\n"
    "    elements = Elements(\n"
    "        norad_id=25544,\n"
    "        epoch=datetime(2020, 7, 12, 1, 19, 7, tzinfo=timezone.utc),\n"
    "        mean_motion=15.49560532,\n"
    "        eccentricity=0.0001771,\n"
    "        inclination=51.6435,\n"
    "        right_ascension=225.4004,\n"
    "        argument_of_perigee=44.9625,\n"
    "        mean_anomaly=5.1087,\n"
    "        mean_motion_dot=0.00289036,\n"
    "        drag_term=0.0049645,\n"
    "        revolution_number=23587,\n"
    "        object_name=\"ISS (ZARYA)\",\n"
    "    )";

// The constructor's own documentation follows the class docstring.
constexpr const char* kConstructorDoc =
    "\n\n"
    "Construct orbital elements from individual fields.\n"
    "\n"
    "`epoch` must be a timezone-aware `datetime` (UTC).\n"
    "All angle fields (`inclination`, `right_ascension`, `argument_of_perigee`,\n"
    "`mean_anomaly`) are in **degrees**.\n"
    "`mean_motion` is in **rev/day**.";

constexpr const char* kElementsSignature =
    "Elements(*, norad_id, epoch, mean_motion, eccentricity, inclination, right_ascension, "
    "argument_of_perigee, mean_anomaly, mean_motion_dot, mean_motion_ddot=0.0, drag_term=0.0, "
    "revolution_number=0, object_name=None, classification=..., international_designator=None, "
    "element_set_number=0, ephemeris_type=0)";

constexpr const char* kFromJsonDoc =
    "from_json(json)\n--\n\n"
    "Parse an OMM JSON string into orbital elements.\n"
    "\n"
    "The JSON must use CCSDS OMM field names (`NORAD_CAT_ID`, `EPOCH`,\n"
    "`MEAN_MOTION`, `ECCENTRICITY`, etc.).  Both Celestrak and Space-Track\n"
    "JSON responses are supported.\n"
    "\n"
    "Raises `ValueError` if the JSON is malformed or missing required fields.";

constexpr const char* kFromDictDoc =
    "from_dict(data)\n--\n\n"
    "Parse an OMM dict into orbital elements.\n"
    "\n"
    "The dict must use CCSDS OMM field names (`NORAD_CAT_ID`, `EPOCH`,\n"
    "`MEAN_MOTION`, `ECCENTRICITY`, etc.).  Both Celestrak and Space-Track\n"
    "JSON responses are supported — pass the dict directly without serialising\n"
    "to a string first.\n"
    "\n"
    "Raises `ValueError` if the dict is missing required fields or has invalid values.";

struct ElementsValue {
    ElementRecord record;

    std::string repr() const {
        const std::string name = record.object_name ? "\"" + escape_debug(*record.object_name) + "\"" : "None";
        return "Elements(norad_id=" + std::to_string(record.norad_id) + ", object_name=" + name +
               ", epoch=" + time::instant_text(record.epoch) + ")";
    }
};

const ElementRecord& record_of(PyObject* self) { return value_of<ElementsValue>(self).record; }

bool to_optional_text(PyObject* value, std::optional<std::string>& out) {
    if (value == Py_None) {
        out.reset();
        return true;
    }
    std::string text;
    if (!to_text(value, text)) return false;
    out = std::move(text);
    return true;
}

PyObject* from_optional_text(const std::optional<std::string>& text) {
    if (!text) Py_RETURN_NONE;
    return from_text(*text);
}

bool to_classification(PyObject* value, sgp4::Classification& out) {
    uint8_t index = 0;
    if (!to_enum_index(value, classification_info, index)) return false;
    out = static_cast<sgp4::Classification>(index);
    return true;
}

PyObject* elements_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(
            "Elements()",
            {{"norad_id"}, {"epoch"}, {"mean_motion"}, {"eccentricity"}, {"inclination"}, {"right_ascension"},
             {"argument_of_perigee"}, {"mean_anomaly"}, {"mean_motion_dot"}, {"mean_motion_ddot", false},
             {"drag_term", false}, {"revolution_number", false}, {"object_name", false},
             {"classification", false}, {"international_designator", false}, {"element_set_number", false},
             {"ephemeris_type", false}},
            0, 0);
        ElementRecord r;
        const bool converted = parse_arguments(
            signature, TupleCall{args, kwargs}, into(r.norad_id, to_u64), into(r.epoch, to_instant),
            into(r.mean_motion, to_f64), into(r.eccentricity, to_f64), into(r.inclination, to_f64),
            into(r.right_ascension, to_f64), into(r.argument_of_perigee, to_f64), into(r.mean_anomaly, to_f64),
            into(r.mean_motion_dot, to_f64), into(r.mean_motion_ddot, to_f64), into(r.drag_term, to_f64),
            into(r.revolution_number, to_u64), into(r.object_name, to_optional_text),
            into(r.classification, to_classification), into(r.international_designator, to_optional_text),
            into(r.element_set_number, to_u64), into(r.ephemeris_type, to_u8));
        if (!converted) return nullptr;
        return new_instance<ElementsValue>(reinterpret_cast<PyObject*>(type), ElementsValue{std::move(r)});
    });
}

PyObject* elements_from_text(std::string_view text) {
    auto record = sgp4::read_omm_json(text);
    if (!record) {
        raise(PyExc_ValueError, record.error().text());
        return nullptr;
    }
    return new_elements(std::move(*record));
}

PyObject* elements_from_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Elements.from_json()", {{"json"}});
        std::string text;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(text, to_text))) return nullptr;
        return elements_from_text(text);
    });
}

PyObject* elements_from_dict(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Elements.from_dict()", {{"data"}});
        PyObject* data = nullptr;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(data, as_object))) return nullptr;
        Ref json = Ref::steal(PyImport_ImportModule("json"));
        if (!json) return nullptr;
        Ref dumped = Ref::steal(PyObject_CallMethod(json.get(), "dumps", "(O)", data));
        if (!dumped) return nullptr;
        std::string text;
        if (!to_text(dumped.get(), text)) return nullptr;
        return elements_from_text(text);
    });
}

template <class Field>
PyObject* field_to_python(const Field& field) {
    if constexpr (std::is_same_v<Field, double>) return from_f64(field);
    else if constexpr (std::is_same_v<Field, uint64_t> || std::is_same_v<Field, uint8_t>) return from_u64(field);
    else if constexpr (std::is_same_v<Field, time::Instant>) return from_instant(field);
    else if constexpr (std::is_same_v<Field, sgp4::Classification>)
        return enum_member(classification_info, static_cast<uint8_t>(field));
    else return from_optional_text(field);
}

template <auto Member>
PyObject* get_field(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] { return field_to_python(record_of(self).*Member); });
}

}  // namespace

PyObject* classification_type() {
    static PyObject* type = nullptr;
    if (!type) type = build_enum_type(classification_info, kClassificationDoc);
    return type;
}

PyObject* elements_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!classification_type()) return nullptr;
    ClassBuilder builder = value_class<ElementsValue>("Elements", std::string(kElementsDoc) + kConstructorDoc);
    builder.constructor(kElementsSignature, &elements_new)
        .property("object_name", &get_field<&ElementRecord::object_name>, "Satellite name (OBJECT_NAME), if present.")
        .property("norad_id", &get_field<&ElementRecord::norad_id>, "NORAD catalog number (NORAD_CAT_ID).")
        .property("classification", &get_field<&ElementRecord::classification>,
                  "Classification type (CLASSIFICATION_TYPE).")
        .property("international_designator", &get_field<&ElementRecord::international_designator>,
                  "International designator (OBJECT_ID), if present.")
        .property("epoch", &get_field<&ElementRecord::epoch>, "Element set epoch in UTC (EPOCH).")
        .property("mean_motion_dot", &get_field<&ElementRecord::mean_motion_dot>,
                  "First derivative of mean motion / 2 (MEAN_MOTION_DOT), rev/day².")
        .property("mean_motion_ddot", &get_field<&ElementRecord::mean_motion_ddot>,
                  "Second derivative of mean motion / 6 (MEAN_MOTION_DDOT), rev/day³.")
        .property("drag_term", &get_field<&ElementRecord::drag_term>, "BSTAR drag term (BSTAR), 1/earth-radii.")
        .property("element_set_number", &get_field<&ElementRecord::element_set_number>,
                  "Element set number (ELEMENT_SET_NO).")
        .property("inclination", &get_field<&ElementRecord::inclination>, "Inclination (INCLINATION), degrees.")
        .property("right_ascension", &get_field<&ElementRecord::right_ascension>,
                  "Right ascension of ascending node (RA_OF_ASC_NODE), degrees.")
        .property("eccentricity", &get_field<&ElementRecord::eccentricity>, "Eccentricity (ECCENTRICITY).")
        .property("argument_of_perigee", &get_field<&ElementRecord::argument_of_perigee>,
                  "Argument of perigee (ARG_OF_PERICENTER), degrees.")
        .property("mean_anomaly", &get_field<&ElementRecord::mean_anomaly>, "Mean anomaly (MEAN_ANOMALY), degrees.")
        .property("mean_motion", &get_field<&ElementRecord::mean_motion>, "Mean motion (MEAN_MOTION), rev/day.")
        .property("revolution_number", &get_field<&ElementRecord::revolution_number>,
                  "Revolution number at epoch (REV_AT_EPOCH).")
        .property("ephemeris_type", &get_field<&ElementRecord::ephemeris_type>,
                  "Ephemeris type (EPHEMERIS_TYPE). Normally 0.")
        .method("from_json", &elements_from_json, kFromJsonDoc, METH_STATIC)
        .method("from_dict", &elements_from_dict, kFromDictDoc, METH_STATIC);
    with_repr<ElementsValue>(builder);
    type = builder.build();
    return type;
}

PyObject* new_elements(ElementRecord record) {
    PyObject* type = elements_type();
    return type ? new_instance<ElementsValue>(type, ElementsValue{std::move(record)}) : nullptr;
}

bool to_element_record(PyObject* value, ElementRecord& out) {
    PyObject* type = elements_type();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return wrong_type(value, "Elements");
    out = record_of(value);
    return true;
}

}  // namespace orbweave::py
