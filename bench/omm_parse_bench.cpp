// Time to read one OMM JSON record: a Celestrak record (numbers) compact and as
// json.dumps writes it (what Elements.from_dict reads), the same record in
// Space-Track style (every value a string, extra keys, pretty-printed) and the
// array form, each read many times over; prints thread CPU ns per record, the
// best of five runs (the least disturbed by other work on the machine).
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "sgp4/omm_reader.hpp"

namespace {

constexpr std::string_view kCelestrak =
    R"json({"OBJECT_NAME":"ISS (ZARYA)","OBJECT_ID":"1998-067A","EPOCH":"2020-07-12T01:19:07.402656",)json"
    R"json("MEAN_MOTION":15.49560532,"ECCENTRICITY":0.0001771,"INCLINATION":51.6435,"RA_OF_ASC_NODE":225.4004,)json"
    R"json("ARG_OF_PERICENTER":44.9625,"MEAN_ANOMALY":5.1087,"EPHEMERIS_TYPE":0,"CLASSIFICATION_TYPE":"U",)json"
    R"json("NORAD_CAT_ID":25544,"ELEMENT_SET_NO":999,"REV_AT_EPOCH":23587,"BSTAR":0.0049645,)json"
    R"json("MEAN_MOTION_DOT":0.00289036,"MEAN_MOTION_DDOT":0})json";

constexpr std::string_view kDumped =
    R"json({"OBJECT_NAME": "ISS (ZARYA)", "OBJECT_ID": "1998-067A", "EPOCH": "2020-07-12T01:19:07.402656", )json"
    R"json("MEAN_MOTION": 15.49560532, "ECCENTRICITY": 0.0001771, "INCLINATION": 51.6435, "RA_OF_ASC_NODE": 225.4004, )json"
    R"json("ARG_OF_PERICENTER": 44.9625, "MEAN_ANOMALY": 5.1087, "EPHEMERIS_TYPE": 0, "CLASSIFICATION_TYPE": "U", )json"
    R"json("NORAD_CAT_ID": 25544, "ELEMENT_SET_NO": 999, "REV_AT_EPOCH": 23587, "BSTAR": 0.0049645, )json"
    R"json("MEAN_MOTION_DOT": 0.00289036, "MEAN_MOTION_DDOT": 0})json";

constexpr std::string_view kSpaceTrack = R"json({
    "CCSDS_OMM_VERS": "2.0",
    "COMMENT": "GENERATED VIA SPACE-TRACK.ORG API",
    "CREATION_DATE": "2020-07-12T06:26:10",
    "ORIGINATOR": "18 SPCS",
    "OBJECT_NAME": "ISS (ZARYA)",
    "OBJECT_ID": "1998-067A",
    "CENTER_NAME": "EARTH",
    "REF_FRAME": "TEME",
    "TIME_SYSTEM": "UTC",
    "MEAN_ELEMENT_THEORY": "SGP4",
    "EPOCH": "2020-07-12T01:19:07.402656",
    "MEAN_MOTION": "15.49560532",
    "ECCENTRICITY": "0.00017710",
    "INCLINATION": "51.6435",
    "RA_OF_ASC_NODE": "225.4004",
    "ARG_OF_PERICENTER": "44.9625",
    "MEAN_ANOMALY": "5.1087",
    "EPHEMERIS_TYPE": "0",
    "CLASSIFICATION_TYPE": "U",
    "NORAD_CAT_ID": "25544",
    "ELEMENT_SET_NO": "999",
    "REV_AT_EPOCH": "23587",
    "BSTAR": "0.00496450000000",
    "MEAN_MOTION_DOT": "0.00289036",
    "MEAN_MOTION_DDOT": "0.0000000000000",
    "SEMIMAJOR_AXIS": "6796.973",
    "PERIOD": "92.930",
    "APOAPSIS": "420.041",
    "PERIAPSIS": "417.634",
    "OBJECT_TYPE": "PAYLOAD",
    "RCS_SIZE": "LARGE",
    "COUNTRY_CODE": "ISS",
    "LAUNCH_DATE": "1998-11-20",
    "SITE": "TTMTR",
    "DECAY_DATE": null,
    "FILE": "2774568",
    "GP_ID": "158279223",
    "TLE_LINE0": "0 ISS (ZARYA)",
    "TLE_LINE1": "1 25544U 98067A   20194.05494679  .00289036  00000-0  49645-2 0  9995",
    "TLE_LINE2": "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235876"
})json";

constexpr std::string_view kArrayForm =
    R"json(["ISS (ZARYA)","1998-067A",25544,"U","2020-07-12T01:19:07.402656",0.00289036,0,0.0049645,999,)json"
    R"json(51.6435,225.4004,0.0001771,44.9625,5.1087,15.49560532,23587,0])json";

// CPU time of this thread, so that other processes on a busy machine do not count.
double thread_cpu_nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double nanoseconds_per_read(std::string_view text, int rounds) {
    size_t sink = 0;
    const double start = thread_cpu_nanoseconds();
    for (int i = 0; i < rounds; ++i) {
        const auto result = orbweave::sgp4::read_omm_json(text);
        sink += result ? result->norad_id : result.error().column;
        asm volatile("" : : "r"(sink) : "memory");
    }
    return (thread_cpu_nanoseconds() - start) / rounds;
}

struct Case {
    const char* name;
    std::string_view text;
};

constexpr Case kCases[] = {
    {"Celestrak record, compact", kCelestrak},
    {"Celestrak record, json.dumps", kDumped},
    {"Space-Track record", kSpaceTrack},
    {"array form", kArrayForm},
};

}  // namespace

int main() {
    constexpr int kRounds = 200'000;
    constexpr int kRuns = 5;
    for (const Case& c : kCases) {
        if (!orbweave::sgp4::read_omm_json(c.text)) {
            std::printf("%s does not read\n", c.name);
            return 1;
        }
    }
    nanoseconds_per_read(kCelestrak, kRounds);  // warm up
    for (const Case& c : kCases) {
        double best = nanoseconds_per_read(c.text, kRounds);
        for (int run = 1; run < kRuns; ++run) best = std::min(best, nanoseconds_per_read(c.text, kRounds));
        std::printf("%-30s %7.1f ns per record\n", c.name, best);
    }
}
