/* An empty DLL without resources: the tests copy it and write the exact
   resource bytes of a case into the copy with the resource-update calls. */
int pelnore_stub_marker = 1;
