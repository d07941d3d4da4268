/*
 * The smallest host of the Brindlework module: it initialises the module and
 * renders one tag, <qelString mode="toUpper">, whose body is the program's
 * first argument (default "hello, world"), and prints what the module wrote.
 *
 * Build it against an installed Brindlework in one of two ways:
 *   cc host.c $(pkg-config --cflags --libs brindlework) -o host
 *   cmake -S . -B build && cmake --build build      (CMakeLists.txt beside)
 *
 * A real engine finds tags in its pages and answers many more services (see
 * brindlework/module.h); this one answers the few a single tag needs and
 * refuses the rest, which the module takes as "not there".
 */
#include <brindlework/module.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* What the host knows about the one tag it renders. */
static const char *tagName = "qelString";
static const char *modeValue = "toUpper";
static const char *body = "hello, world";

/* Copies text into the module's buffer, or states the size it needs. */
static uint32_t answerText(const char *text, void *buffer, void *size) {
  uint32_t length = (uint32_t)strlen(text);
  uint32_t *room = (uint32_t *)size;
  if (*room < length) {
    *room = length;
    return MBtS;
  }
  memcpy(buffer, text, length);
  *room = length;
  return 0;
}

static uint32_t BW_CALL services(uint32_t handle, uint32_t code, void *a1, void *a2, void *a3,
                                 void *a4, void *a5) {
  (void)handle;
  (void)a5;
  switch (code) {
    case MRMN: case MRMV: case MRMA: case MRVt: case MRfT:
      return 0; /* registrations: accepted */
    case MTag:
      return answerText(tagName, a1, a2);
    case MTBd:
      return answerText(body, a1, a2);
    case MTPm: /* a1 holds the parameter's name, terminated */
      return strcmp((const char *)a1, "mode") == 0 ? answerText(modeValue, a3, a4) : MUnF;
    case MWtS: /* the output: a1 = bytes, a2 = count */
      fwrite(a1, 1, *(const uint32_t *)a2, stdout);
      return 0;
    case MSEI:
      fprintf(stderr, "error: %s\n", (const char *)a1);
      return 0;
    default:
      return MUnF; /* region properties and the rest: not kept by this host */
  }
}

static void *BW_CALL hostAllocate(uint32_t count) { return malloc(count); }
static void BW_CALL hostRelease(void *block) { free(block); }

static uint32_t send(uint32_t selector) {
  ModuleRequest request;
  memset(&request, 0, sizeof request);
  request.hostHandle = 1;
  request.selector = selector;
  request.hostCallback = services;
  request.hostAllocate = hostAllocate;
  request.hostRelease = hostRelease;
  return ProcessQELRequest(&request);
}

int main(int argc, char **argv) {
  if (argc > 1) body = argv[1];
  if (send(MIni) != 0) {
    fprintf(stderr, "the module refused initialisation\n");
    return 1;
  }
  uint32_t result = send(MTag);
  putchar('\n');
  send(MTrm);
  return result == 0 ? 0 : 1;
}
