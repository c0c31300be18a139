#pragma once
// The 52 files a run writes, in the order it writes them, with the embedded file behind each: the
// tests' own table, written out by hand from the installer's defined plan, so that a wrong step of
// the program's plan (a name, a resource, the order) fails the tests instead of being copied by them.
#include <array>

namespace e2e {

struct ExpectedFile {
  const char* relativePath;  // below the host's installation folder, as Windows names it
  int resourceId;
};

inline constexpr std::array<ExpectedFile, 52> kExpectedFiles = {{
    {"Tessaprint\\Device\\Nexlume Q7.bmp", 132},
    {"Tessaprint\\Device\\Nexlume Q7 D4.rmt", 130},
    {"Tessaprint\\Device\\Nexlume Q7 D2.rmt", 149},
    {"Tessaprint\\Device\\Nexlume Q7 D4 PG.rmt", 176},
    {"Tessaprint\\Device\\Nexlume Q7 D2 PG.rmt", 173},
    {"Tessaprint\\Device\\Nexlume Q7M D4.rmt", 188},
    {"Tessaprint\\Device\\Nexlume Q7M D4 PG.rmt", 189},
    {"Tessaprint\\Device\\Nexlume Q7M D2.rmt", 191},
    {"Tessaprint\\Device\\Nexlume Q7M D2 PG.rmt", 192},
    {"Tessaprint\\Device\\Nexlume Q7 D4.pmp", 131},
    {"Tessaprint\\Device\\Nexlume Q7 D2.pmp", 148},
    {"Tessaprint\\Device\\Nexlume Q7 D4 PG.pmp", 175},
    {"Tessaprint\\Device\\Nexlume Q7 D2 PG.pmp", 172},
    {"Tessaprint\\Device\\Nexlume Q7M D4.pmp", 184},
    {"Tessaprint\\Device\\Nexlume Q7M D4 PG.pmp", 185},
    {"Tessaprint\\Device\\Nexlume Q7M D2.pmp", 186},
    {"Tessaprint\\Device\\Nexlume Q7M D2 PG.pmp", 187},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_HS_v720x720.icc", 133},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v1440x720.icc", 134},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v1440x720_onW.icc", 135},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v1440x720_underW.icc", 136},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v720x720.icc", 137},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v720x720_onW.icc", 138},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Distance_v720x720_underW.icc", 139},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_HS_v720x720.icc", 140},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v1440x720.icc", 141},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v1440x720_onW.icc", 142},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v1440x720_underW.icc", 143},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v720x720.icc", 144},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v720x720_onW.icc", 145},
    {"Profiles\\Nexlume Q7\\DURA-UV4 CMYK\\NXQ7DuraUV4_Generic_v720x720_underW.icc", 146},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_HS_v720x720.icc", 150},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_HS_v720x720_W.icc", 151},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_ST_v720x720.icc", 152},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_ST_v720x720_W.icc", 153},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_v1440x720.icc", 154},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Distance_v1440x720_W.icc", 155},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_HS_v720x720.icc", 156},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_HS_v720x720_W.icc", 157},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_ST_v720x720.icc", 158},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_ST_v720x720_W.icc", 159},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_v1440x720_12p.icc", 160},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_v1440x720_16p.icc", 161},
    {"Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_v1440x720_W.icc", 162},
    {"Tessaprint\\Device\\Nexlume Q7 D2.dsr", 147},
    {"Tessaprint\\Device\\Nexlume Q7 D4 PG.dsr", 174},
    {"Tessaprint\\Device\\Nexlume Q7 D2 PG.dsr", 171},
    {"Tessaprint\\Device\\Nexlume Q7M D4.dsr", 179},
    {"Tessaprint\\Device\\Nexlume Q7M D4 PG.dsr", 193},
    {"Tessaprint\\Device\\Nexlume Q7M D2.dsr", 181},
    {"Tessaprint\\Device\\Nexlume Q7M D2 PG.dsr", 183},
    {"Tessaprint\\Device\\Nexlume Q7 D4.dsr", 129},
}};

}  // namespace e2e
