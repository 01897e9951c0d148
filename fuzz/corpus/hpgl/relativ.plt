in;pu0,0;pd40,0;
pr;pd0,40,-40,0;
