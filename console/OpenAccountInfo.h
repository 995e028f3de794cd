// The customer whose account-opening request the customer page shows: the identity that the café
// service's get_openinfo returns for the id the web-socket page gave. Texts are narrow, in the ANSI
// code page. The page owns one; a uid of 0 means no customer.
#pragma once
#include <stdint.h>
#include <stdlib.h>
#include <string>

struct COpenAccountInfo {
    int32_t uid = 0;
    std::string uname;
    std::string spare1;
    int32_t sex = 1;           // "bsex": 1 male, anything else female
    std::string nation;        // "bnation": "0000" stands for 汉
    std::string spare2;
    std::string frontPhoto;    // "strsfzphoto": ID card, front
    std::string backPhoto;     // "strsffphoto": ID card, back
    std::string portrait;      // "strzmphoto", then the local file the photo is fetched to
    std::string idNumber;      // "bcertificode"

    void Reset() { *this = COpenAccountInfo(); }
};
