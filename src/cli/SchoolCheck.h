#pragma once
// rechenkov --schule-pruefen: whether this computer can send to the school's
// server, said in German for the administrator. Returns the exit code: 0
// when everything is in order, 1 with what is wrong.

namespace school {

int RunSchoolCheck();

} // namespace school
