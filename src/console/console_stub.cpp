namespace kt6 {}
