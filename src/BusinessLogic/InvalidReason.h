#pragma once

#include <QMetaType>

#include <vector>

namespace BusinessLogic {

// Why a character of a logged frame is marked: a wrong or missing check character, or a bare
// ACK / NAK answer.
enum InvalidReason { InvalidLRC = 0, ACK = 1, NAK = 2 };

// Registers the reason and a vector of it under their qualified names (idempotent).
void registerInvalidReasonMetaTypes();

} // namespace BusinessLogic

Q_DECLARE_METATYPE(BusinessLogic::InvalidReason)
Q_DECLARE_METATYPE(std::vector<BusinessLogic::InvalidReason>)
Q_DECLARE_METATYPE(std::vector<int>)
