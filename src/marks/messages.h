// Texts printed by the mark positioning, kept in one place so that tests can name them.
#pragma once

namespace marks_msg {

inline constexpr const char* kLocalmaxDebut =
    "\n *** Error : localmax ***\n -> debut_n < 1\n *** Exiting program ***\n";
inline constexpr const char* kLocalmaxFin =
    " *** Error : localmax ***\n -> fin_n  > data_v.size()-1\n *** Exiting program ***\n ";
inline constexpr const char* kLocalmaxEmpty =
    "\n *** Error : localmax ***\n -> size of marksener_sec_iv null\n *** Exiting program *** \n";
inline constexpr const char* kLocalmaxvecteurDebut =
    "\n *** Error : localmaxvecteur ***\n -> debut_n < 0\n *** Exiting program ***\n";
inline constexpr const char* kLocalmaxvecteurFin =
    " *** Error : localmaxvecteur ***\n -> fin_n  > data_v.size()-1\n *** Exiting program ***\n ";
inline constexpr const char* kLsmPeriods =
    "\n *** Error : lsm ***\n -> size of vecteurT0_v non equal to L\n *** Exiting program ***\n";
inline constexpr const char* kLsmPeaks =
    "\n *** Error : lsm ***\n -> size of vecteurMaxE_v non equal to L\n *** Exiting program ***\n";
// Printed (with a line end) by evalbp_s for a time that compares neither way (NaN).
inline constexpr const char* kNotACase = " Not a case";

}  // namespace marks_msg
