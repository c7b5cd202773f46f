// Encoders for Oracle column values, as the database writes them into rows:
// NUMBER, DATE, TIMESTAMP (with and without time zone), INTERVAL YEAR TO
// MONTH, INTERVAL DAY TO SECOND, BINARY_FLOAT and BINARY_DOUBLE. They build test databases and check the tool's decoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using OracleBytes = std::vector<uint8_t>;

// NUMBER from decimal text: an optional sign, digits with an optional point,
// and an optional exponent ("e-130"). At most 40 significant digits (20
// base-100 digits) and a magnitude Oracle can hold (below 1e126, at least
// 1e-130). Returns false and leaves out empty when the text is not such a
// number.
bool encodeOracleNumber(const std::string& text, OracleBytes& out);

struct OracleDateTime {
  int year = 1;  // negative for BC: -4712 is 4712 BC
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// DATE: 7 bytes.
OracleBytes encodeOracleDate(const OracleDateTime& t);
// TIMESTAMP: 7 bytes when nanoseconds is 0 and no zone is wanted, else 11;
// with a zone 13 bytes (the date and time given in UTC, the offset as hours
// and minutes east of UTC).
OracleBytes encodeOracleTimestamp(const OracleDateTime& t, uint32_t nanoseconds);
OracleBytes encodeOracleTimestampTZ(const OracleDateTime& utc, uint32_t nanoseconds,
                                    int zoneHours, int zoneMinutes);

// INTERVAL YEAR TO MONTH (5 bytes) and INTERVAL DAY TO SECOND (11 bytes).
// A negative interval gives every field negative: -1-2 is years -1, months
// -2.
OracleBytes encodeOracleIntervalYM(int32_t years, int32_t months);
OracleBytes encodeOracleIntervalDS(int32_t days, int32_t hours, int32_t minutes, int32_t seconds,
                                   int32_t nanoseconds);

// BINARY_FLOAT (4 bytes) and BINARY_DOUBLE (8 bytes).
OracleBytes encodeOracleBinaryFloat(float value);
OracleBytes encodeOracleBinaryDouble(double value);

// UTF-8 text as AL16UTF16 (UTF-16 big-endian, surrogate pairs above
// U+FFFF); false for bytes that are not UTF-8.
bool encodeUtf16(const std::string& text, OracleBytes& out);
