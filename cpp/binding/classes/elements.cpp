// Elements: the 17 OMM fields of an element set, filled by keyword, from OMM JSON
// text or from an OMM dictionary.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "sgp4/omm_reader.hpp"
#include "time/text.hpp"
#include "util/text_escape.hpp"

namespace orbweave::py {

namespace {

using sgp4::ElementRecord;

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
    "    )"
    // A heap type has one documentation: the constructor's follows the class's.
    "\n\n"
    "Construct orbital elements from individual fields.\n"
    "\n"
    "`epoch` must be a timezone-aware `datetime` (UTC).\n"
    "All angle fields (`inclination`, `right_ascension`, `argument_of_perigee`,\n"
    "`mean_anomaly`) are in **degrees**.\n"
    "`mean_motion` is in **rev/day**.";

ElementRecord make(uint64_t norad_id, time::Instant epoch, double mean_motion, double eccentricity,
                   double inclination, double right_ascension, double argument_of_perigee, double mean_anomaly,
                   double mean_motion_dot, double mean_motion_ddot, double drag_term, uint64_t revolution_number,
                   std::optional<std::string> object_name, sgp4::Classification classification,
                   std::optional<std::string> international_designator, uint64_t element_set_number,
                   uint8_t ephemeris_type) {
    ElementRecord r;
    r.norad_id = norad_id;
    r.epoch = epoch;
    r.mean_motion = mean_motion;
    r.eccentricity = eccentricity;
    r.inclination = inclination;
    r.right_ascension = right_ascension;
    r.argument_of_perigee = argument_of_perigee;
    r.mean_anomaly = mean_anomaly;
    r.mean_motion_dot = mean_motion_dot;
    r.mean_motion_ddot = mean_motion_ddot;
    r.drag_term = drag_term;
    r.revolution_number = revolution_number;
    r.object_name = std::move(object_name);
    r.classification = classification;
    r.international_designator = std::move(international_designator);
    r.element_set_number = element_set_number;
    r.ephemeris_type = ephemeris_type;
    return r;
}

// The constructor's fields in its order, the epoch exact to the nanosecond.
ElementRecord unpickle(uint64_t norad_id, ExactInstant epoch, double mean_motion, double eccentricity,
                       double inclination, double right_ascension, double argument_of_perigee, double mean_anomaly,
                       double mean_motion_dot, double mean_motion_ddot, double drag_term, uint64_t revolution_number,
                       std::optional<std::string> object_name, sgp4::Classification classification,
                       std::optional<std::string> international_designator, uint64_t element_set_number,
                       uint8_t ephemeris_type) {
    return make(norad_id, epoch.value, mean_motion, eccentricity, inclination, right_ascension, argument_of_perigee,
                mean_anomaly, mean_motion_dot, mean_motion_ddot, drag_term, revolution_number, std::move(object_name),
                classification, std::move(international_designator), element_set_number, ephemeris_type);
}

auto pickle_state(const ElementRecord& r) {
    return std::tuple{r.norad_id, ExactInstant{r.epoch}, r.mean_motion, r.eccentricity, r.inclination,
                      r.right_ascension, r.argument_of_perigee, r.mean_anomaly, r.mean_motion_dot,
                      r.mean_motion_ddot, r.drag_term, r.revolution_number, r.object_name, r.classification,
                      r.international_designator, r.element_set_number, r.ephemeris_type};
}

PyObject* from_json(std::string json) {
    auto record = sgp4::read_omm_json(json);
    if (!record) {
        raise(PyExc_ValueError, record.error().text());
        return nullptr;
    }
    return wrap(std::move(*record));
}

// Through json.dumps, whose own exceptions pass through.
PyObject* from_dict(PyObject* data) {
    Ref json = Ref::steal(PyImport_ImportModule("json"));
    Ref dumped = json ? Ref::steal(PyObject_CallMethod(json.get(), "dumps", "(O)", data)) : Ref();
    std::string text;
    if (!dumped || !to_text(dumped.get(), text)) return nullptr;
    return from_json(std::move(text));
}

std::string repr(const ElementRecord& r) {
    const std::string name = r.object_name ? "\"" + escape_debug(*r.object_name) + "\"" : "None";
    return "Elements(norad_id=" + std::to_string(r.norad_id) + ", object_name=" + name +
           ", epoch=" + time::instant_text(r.epoch) + ")";
}

}  // namespace

ClassBuilder PyClass<ElementRecord>::define() {
    return ClassDef<ElementRecord>(kElementsDoc)
        .constructor<"*, norad_id, epoch, mean_motion, eccentricity, inclination, right_ascension, "
                     "argument_of_perigee, mean_anomaly, mean_motion_dot, mean_motion_ddot=0.0, drag_term=0.0, "
                     "revolution_number=0, object_name=None, classification=..., international_designator=None, "
                     "element_set_number=0, ephemeris_type=0",
                     &make>()
        .property<&ElementRecord::object_name>("object_name", "Satellite name (OBJECT_NAME), if present.")
        .property<&ElementRecord::norad_id>("norad_id", "NORAD catalog number (NORAD_CAT_ID).")
        .property<&ElementRecord::classification>("classification", "Classification type (CLASSIFICATION_TYPE).")
        .property<&ElementRecord::international_designator>("international_designator",
                                                            "International designator (OBJECT_ID), if present.")
        .property<&ElementRecord::epoch>("epoch", "Element set epoch in UTC (EPOCH).")
        .property<&ElementRecord::mean_motion_dot>("mean_motion_dot",
                                                   "First derivative of mean motion / 2 (MEAN_MOTION_DOT), rev/day².")
        .property<&ElementRecord::mean_motion_ddot>(
            "mean_motion_ddot", "Second derivative of mean motion / 6 (MEAN_MOTION_DDOT), rev/day³.")
        .property<&ElementRecord::drag_term>("drag_term", "BSTAR drag term (BSTAR), 1/earth-radii.")
        .property<&ElementRecord::element_set_number>("element_set_number", "Element set number (ELEMENT_SET_NO).")
        .property<&ElementRecord::inclination>("inclination", "Inclination (INCLINATION), degrees.")
        .property<&ElementRecord::right_ascension>("right_ascension",
                                                   "Right ascension of ascending node (RA_OF_ASC_NODE), degrees.")
        .property<&ElementRecord::eccentricity>("eccentricity", "Eccentricity (ECCENTRICITY).")
        .property<&ElementRecord::argument_of_perigee>("argument_of_perigee",
                                                       "Argument of perigee (ARG_OF_PERICENTER), degrees.")
        .property<&ElementRecord::mean_anomaly>("mean_anomaly", "Mean anomaly (MEAN_ANOMALY), degrees.")
        .property<&ElementRecord::mean_motion>("mean_motion", "Mean motion (MEAN_MOTION), rev/day.")
        .property<&ElementRecord::revolution_number>("revolution_number", "Revolution number at epoch (REV_AT_EPOCH).")
        .property<&ElementRecord::ephemeris_type>("ephemeris_type", "Ephemeris type (EPHEMERIS_TYPE). Normally 0.")
        .static_method<"from_json", "json", &from_json>(
            "Parse an OMM JSON string into orbital elements.\n"
            "\n"
            "The JSON must use CCSDS OMM field names (`NORAD_CAT_ID`, `EPOCH`,\n"
            "`MEAN_MOTION`, `ECCENTRICITY`, etc.).  Both Celestrak and Space-Track\n"
            "JSON responses are supported.\n"
            "\n"
            "Raises `ValueError` if the JSON is malformed or missing required fields.")
        .static_method<"from_dict", "data", &from_dict>(
            "Parse an OMM dict into orbital elements.\n"
            "\n"
            "The dict must use CCSDS OMM field names (`NORAD_CAT_ID`, `EPOCH`,\n"
            "`MEAN_MOTION`, `ECCENTRICITY`, etc.).  Both Celestrak and Space-Track\n"
            "JSON responses are supported — pass the dict directly without serialising\n"
            "to a string first.\n"
            "\n"
            "Raises `ValueError` if the dict is missing required fields or has invalid values.")
        .repr<&repr>()
        .pickled<"norad_id, epoch, mean_motion, eccentricity, inclination, right_ascension, argument_of_perigee, "
                 "mean_anomaly, mean_motion_dot, mean_motion_ddot, drag_term, revolution_number, object_name, "
                 "classification, international_designator, element_set_number, ephemeris_type",
                 &unpickle, &pickle_state>();
}

}  // namespace orbweave::py
