// Shared test helpers; see the headers beside this file.
