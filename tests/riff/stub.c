/* An empty DLL: the end-to-end test copies it and writes RIFF streams into the
   copy as custom resources before appending more streams to the file. */
int pelnore_riff_stub_marker = 1;
