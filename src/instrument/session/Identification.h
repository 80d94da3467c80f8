#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// The pure pieces of identification: reply tests, splitting and the model tables. No port involved.
namespace Identification
{

struct SCodes
{
    int familyCode = 0;
    int modelCode = 0;
    int variantCode = 0;
};

// Detection accepts a maker name anywhere in the "*IDN?" reply ...
bool ContainsMaker(std::string_view reply);
// ... the instrument object only at its start.
bool StartsWithMaker(std::string_view reply);

// A whole number as instruments write it: blanks around, an optional sign, digits and nothing else.
std::optional<int> ParseWhole(std::string_view text);

// Splits a "REV?" reply at "." into family, model, variant and build; fields that are missing stay 0.
// An error-queue answer after "," (a "REV?;ERR?" reply) is not part of the revision. Returns how many
// of the four fields were present, or -1 (codes all 0) when a present field is not a whole number.
int SplitRevision(std::string_view revision, std::array<int, 4>& codes);

// A reply of exactly "123" is the instrument refusing "REV?" (unknown command), not a revision.
bool IsNoRevision(std::string_view revision);

// The fields of a ","-separated reply, empty fields kept.
std::vector<std::string_view> SplitFields(std::string_view reply);

// "B37" -> 37: the integer value of a build text after its first character; 0 for an empty text,
// nullopt when the rest is not a whole number.
std::optional<int> BuildNumberFromText(std::string_view build);

// "v%d.%d" rules, independent of the user's locale; returns how many numbers were read (0 to 2).
int ParseVersion(std::string_view text, int& major, int& minor);

// The forms of the identification replies, so that a reply to another question (a late "*IDN?"
// answer, say) is never kept as a serial number or a version.
// "REV?;ERR?": a dotted revision followed by error numbers, or only the refusal's error number 123.
bool IsRevisionReply(std::string_view reply);
// Serial number, model, calibration date: one printable field that is not an identification line.
bool IsIdentityText(std::string_view reply);
// "v2.4.9": a "v" and at least the major number, one field.
bool IsVersionText(std::string_view reply);
// "B331": a letter and a whole number.
bool IsBuildText(std::string_view reply);

// The model tables; false when no row matches (codes untouched).
bool ClassifyDetectionModel(std::string_view model, SCodes& codes);
bool ClassifyInstrumentModel(std::string_view model, SCodes& codes);

} // namespace Identification
