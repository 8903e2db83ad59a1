#include "xml_types.h"

const std::array<const char*, 10> CPartType_Name = {
    "",          "XML Prolog", "Comment", "PI",   "DTD Declaration",
    "Start Tag", "Empty Tag",  "End Tag", "Text", "CDATA"};

const std::array<const char*, 4> CValueType_Name = {"Normal", "Implied", "Fixed", "Default"};

const std::array<const char*, 11> CAttrType_Name = {"Unknown",  "CDATA",    "ID",         "IDREF",
                                                    "IDREFS",   "ENTITY",   "ENTITIES",   "NMTOKEN",
                                                    "NMTOKENS", "Notation", "Enumeration"};

const std::array<const char*, 4> CAttrDefault_Name = {"Default", "Required", "Implied", "Fixed"};

const std::array<const char*, 4> CElemType_Name = {"Empty", "Any", "Childs only", "Mixed"};
