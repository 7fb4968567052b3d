// The question the engine puts when a mail or feed server's certificate has
// an issuer nobody vouches for: a Yes/No box over whatever is on the screen.
#pragma once

// Installs the question with the engine; called once at start-up.
void InstallCertificateQuestion();
// The question itself: true when the user chose to go on.
bool AskAboutCertificate(const wchar_t* host);
