/* Machine-dependent JNI definitions for Windows builds (mingw-w64), where the
 * JDK at hand is a Linux one. Matches the layout of a Windows JDK: jint is a
 * 32-bit long, jlong 64 bits, and exports use __stdcall on 32-bit x86. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#if defined(_WIN64)
#define JNICALL
#else
#define JNICALL __stdcall
#endif

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
