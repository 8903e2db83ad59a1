#pragma once
// Kinds and enumerations of the XML pull scanner, with their display-name tables and the fixed
// limits that keep entity expansion bounded.

#include <array>
#include <cstddef>

// Kind of the part that the last successful Scan found.
enum TPartType : int {
    ptNone,
    ptXmlProlog,
    ptComment,
    ptPI,
    ptDtdc,
    ptStartTag,
    ptEmptyTag,
    ptEndTag,
    ptContent,
    ptCData
};
extern const std::array<const char*, 10> CPartType_Name;

// Where an attribute's value came from.
enum TValueType : int { vtNormal, vtImplied, vtFixed, vtDefault };
extern const std::array<const char*, 4> CValueType_Name;

// Declared type of an attribute (from an ATTLIST declaration; atUnknown when undeclared).
enum TAttrType : int {
    atUnknown,
    atCData,
    atID,
    atIdRef,
    atIdRefs,
    atEntity,
    atEntities,
    atNmToken,
    atNmTokens,
    atNotation,
    atEnumeration
};
extern const std::array<const char*, 11> CAttrType_Name;

// Default kind of an attribute declaration.
enum TAttrDefault : int { adDefault, adRequired, adImplied, adFixed };
extern const std::array<const char*, 4> CAttrDefault_Name;

// Content model of an element declaration.
enum TElemType : int { etEmpty, etAny, etChildren, etMixed };
extern const std::array<const char*, 4> CElemType_Name;

// Kind of item reported to TXMLParser::DtdElementFound.
enum TDtdElemType : int { deElement, deAttList, deEntity, deNotation, dePI, deComment, deError };

// Entity expansion limits (the defaults of TXMLParser::MaxEntityDepth / MaxEntityExpansion).
// A reference that would nest replacement texts deeper than kMaxEntityDepth, or that would bring
// the replacement text expanded during one scan (from StartScan on: text, attribute values,
// entity values, parameter entities and external entities together, plus the bytes read from
// external files, each file once per scan) above kMaxEntityExpansion bytes, is not expanded: it
// stays in the text as written and the scan goes on. A file that would not fit is not read. Honest documents
// stay far below both (a few levels, a few kilobytes); a "billion laughs" document stops after
// 8 MiB of expansion instead of gigabytes.
inline constexpr std::size_t kMaxEntityDepth = 32;
inline constexpr std::size_t kMaxEntityExpansion = std::size_t{8} << 20;
